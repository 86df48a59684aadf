#include "database/account_row.h"

namespace database {

QString accountRowQuery(const QString &columns)
{
    return QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM Usuario WHERE length(login)>0 ORDER BY sid LIMIT 1");
}

} // namespace database
