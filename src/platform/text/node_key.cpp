#include "platform/text/node_key.h"

#include "platform/text/digits.h"

// QStringView::toLongLong is defined inline in <QString>; without it an optimised build has no copy
// to link against.
#include <QString>

namespace text {

std::optional<qint64> nodeKeyId(QStringView key, BareKey bare, IdText idText)
{
    // "l0" needs no test of its own: "l" is no digit, and it has no blank.
    const qsizetype blank = key.lastIndexOf(u' ');
    if (blank < 0 && bare == BareKey::NoId)
        return std::nullopt;
    const QStringView id = key.sliced(blank + 1);
    if (idText == IdText::Digits && !isDigitsOnly(id))
        return std::nullopt;
    bool ok = false;
    const qint64 value = id.toLongLong(&ok);
    if (!ok || (idText == IdText::PositiveInteger && value <= 0))
        return std::nullopt;
    return value;
}

QStringView nodeKeyPrefix(QStringView key)
{
    const qsizetype blank = key.lastIndexOf(u' ');
    return blank < 0 ? key : key.first(blank);
}

} // namespace text
