#include "contacts/node_keys.h"

namespace contacts {

QString nodeKey(const QString &prefix, qint64 sid)
{
    return prefix + QLatin1Char(' ') + QString::number(sid);
}

std::optional<qint64> sidFromKey(const QString &key)
{
    return text::nodeKeyId(key, text::BareKey::Id, text::IdText::Integer);
}

} // namespace contacts
