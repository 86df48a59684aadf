#include "platform/db/id_list.h"

#include <QList>

namespace db {

std::optional<qint64> idOfEntry(QStringView entry)
{
    const QStringView digits = entry.trimmed();
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    qint64 id = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        id = id * 10 + (c.unicode() - '0');
    }
    return id;
}

bool idListHas(QStringView list, qint64 id)
{
    for (const QStringView entry : list.split(u',')) {
        if (idOfEntry(entry) == id)
            return true;
    }
    return false;
}

} // namespace db
