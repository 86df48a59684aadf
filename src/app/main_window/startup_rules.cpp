#include "app/main_window/startup_rules.h"

#include "database/account_row.h"

namespace startup {

SenderList readSenders(db::Connection &connection, const QString &defaultSender)
{
    SenderList list;
    // Insertion order decides which of two default rows wins, so read in rowid order.
    const auto rows = connection.select(QStringLiteral("SELECT remitente,defecto FROM Remitentes ORDER BY rowid"));
    for (const db::Row &row : rows) {
        list.items.append(row.value(0).toString());
        if (row.value(1).toInt() != 0)
            list.selected = int(list.items.size()) - 1;
    }
    if (list.items.isEmpty())
        list.items.append(defaultSender);
    if (list.selected < 0)
        list.selected = 0;
    return list;
}

std::optional<StartupAccount> readStartupAccount(db::Connection &connection)
{
    const auto rows = connection.select(database::accountRowQuery(
        QStringLiteral("sid,ruta,saldo,huso_horario,ruta_bbdd,login,pass,version_desktop")));
    if (rows.empty())
        return std::nullopt;
    const db::Row &row = rows.front();
    StartupAccount account;
    account.sid = row.value(0).toLongLong();
    account.route = row.value(1).toString();
    account.balance = row.value(2).toString();
    account.login = row.value(5).toString();
    account.pass = row.value(6).toString();
    account.desktopVersion = row.value(7).toString();
    return account;
}

std::optional<std::pair<QString, QString>> readCredentials(db::Connection &connection)
{
    const auto rows = connection.select(database::accountRowQuery(QStringLiteral("login,pass")));
    if (rows.empty())
        return std::nullopt;
    return std::make_pair(rows.front().value(0).toString(), rows.front().value(1).toString());
}

QString startupCostLabel(const QString &route)
{
    return (route == QLatin1String("1") ? QStringLiteral("0.825") : QStringLiteral("1"))
        + QStringLiteral(" crédito(s)");
}

} // namespace startup
