#include "history/condition.h"

namespace history {

Condition operator&&(const Condition &a, const Condition &b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    Condition joined;
    joined.sql = QStringLiteral("(") + a.sql + QStringLiteral(") AND (") + b.sql + QStringLiteral(")");
    joined.values = a.values + b.values;
    return joined;
}

QString whereClause(const Condition &c)
{
    if (c.isEmpty())
        return {};
    return QStringLiteral(" WHERE (") + c.sql + QStringLiteral(")");
}

} // namespace history
