#include "contacts/node_keys.h"

namespace contacts {

QString nodeKey(const QString &prefix, qint64 sid)
{
    return prefix + QLatin1Char(' ') + QString::number(sid);
}

std::optional<qint64> sidFromKey(const QString &key)
{
    if (key.isEmpty() || key == QLatin1String(kEmptyKey))
        return std::nullopt;
    bool ok = false;
    const qint64 sid = key.mid(key.lastIndexOf(QLatin1Char(' ')) + 1).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return sid;
}

} // namespace contacts
