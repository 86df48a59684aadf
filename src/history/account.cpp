#include "history/account.h"

namespace history {

Account loadAccount(db::Connection &connection, const Account &current)
{
    if (!current.login.isEmpty())
        return current;
    const std::vector<db::Row> rows = connection.select(QStringLiteral("SELECT login, pass FROM Usuario ORDER BY sid LIMIT 1"));
    if (rows.empty())
        return {};
    return {rows.front().value(0).toString(), rows.front().value(1).toString()};
}

} // namespace history
