#include "history/account.h"

#include "database/account_row.h"

namespace history {

Account loadAccount(db::Connection &connection, const Account &current)
{
    if (!current.login.isEmpty())
        return current;
    const std::vector<db::Row> rows = connection.select(database::accountRowQuery(QStringLiteral("login, pass")));
    if (rows.empty())
        return {};
    return {rows.front().value(0).toString(), rows.front().value(1).toString()};
}

} // namespace history
