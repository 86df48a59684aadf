#include "startup/main_window/startup_rules.h"

#include "platform/text/decimal.h"

namespace startup {

SenderList leerRemitentes(db::Connection &conexion, const QString &remitentePorDefecto)
{
    SenderList list;
    // Insertion order decides which of two default rows wins, so read in rowid order.
    const auto rows = conexion.select(QStringLiteral("SELECT remitente,defecto FROM Remitentes ORDER BY rowid"));
    for (const db::Row &row : rows) {
        list.items.append(row.value(0).toString());
        if (row.value(1).toInt() != 0)
            list.selected = int(list.items.size()) - 1;
    }
    if (list.items.isEmpty())
        list.items.append(remitentePorDefecto);
    if (list.selected < 0)
        list.selected = 0;
    return list;
}

std::optional<CuentaArranque> leerCuentaArranque(db::Connection &conexion)
{
    const auto rows = conexion.select(QStringLiteral(
        "SELECT sid,ruta,saldo,huso_horario,ruta_bbdd,login,pass,version_desktop FROM Usuario "
        "WHERE length(login)>0 ORDER BY sid LIMIT 1"));
    if (rows.empty())
        return std::nullopt;
    const db::Row &row = rows.front();
    CuentaArranque cuenta;
    cuenta.sid = row.value(0).toLongLong();
    cuenta.ruta = row.value(1).toString();
    cuenta.saldo = row.value(2).toString();
    cuenta.login = row.value(5).toString();
    cuenta.pass = row.value(6).toString();
    cuenta.versionDesktop = row.value(7).toString();
    return cuenta;
}

std::optional<std::pair<QString, QString>> leerCredenciales(db::Connection &conexion)
{
    const auto rows = conexion.select(QStringLiteral("SELECT login,pass FROM Usuario WHERE length(login)>0 ORDER BY sid LIMIT 1"));
    if (rows.empty())
        return std::nullopt;
    return std::make_pair(rows.front().value(0).toString(), rows.front().value(1).toString());
}

QString rutaConsultaArranque(const QString &ruta)
{
    return ruta == QLatin1String("0") ? QStringLiteral("3") : ruta;
}

QString etiquetaSaldoArranque(const QString &saldo)
{
    if (saldo.isEmpty())
        return QStringLiteral("Desconocido");
    if (saldo.size() >= 4)
        return saldo + QStringLiteral(" cr.");
    const auto valor = text::parseDecimal(saldo);
    return saldo + (valor && *valor == 1.0 ? QStringLiteral(" crédito") : QStringLiteral(" créditos"));
}

QString etiquetaCosteArranque(const QString &ruta)
{
    return (ruta == QLatin1String("1") ? QStringLiteral("0.825") : QStringLiteral("1"))
        + QStringLiteral(" crédito(s)");
}

} // namespace startup
