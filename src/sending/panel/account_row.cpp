#include "sending/panel/account_row.h"

#include "database/account_row.h"
#include "platform/db/connection.h"

namespace sending {

std::optional<AccountValues> readSendAccount(db::Connection &connection)
{
    const std::vector<db::Row> rows = connection.select(
        database::accountRowQuery(QStringLiteral("login,pass,ruta,huso_horario")));
    if (rows.empty())
        return std::nullopt;
    const db::Row &row = rows.front();
    AccountValues account;
    account.login = row.value(0).toString();
    account.pass = row.value(1).toString();
    account.route = row.value(2).toString();
    account.timeZone = row.value(3).toString();
    return account;
}

} // namespace sending
