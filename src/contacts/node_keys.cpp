#include "contacts/node_keys.h"

namespace contacts {

QString claveNodo(const QString &prefijo, qint64 sid)
{
    return prefijo + QLatin1Char(' ') + QString::number(sid);
}

std::optional<qint64> sidDeClave(const QString &clave)
{
    if (clave.isEmpty() || clave == QLatin1String(kClaveVacia))
        return std::nullopt;
    bool ok = false;
    const qint64 sid = clave.mid(clave.lastIndexOf(QLatin1Char(' ')) + 1).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return sid;
}

} // namespace contacts
