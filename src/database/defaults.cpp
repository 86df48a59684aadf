#include "database/defaults.h"

#include "database/account_row.h"
#include "database/opening.h"

namespace database {

DefaultsResult writeStartupDefaults(db::Connection &connection, const QString &programFolder)
{
    DefaultsResult result;
    db::Result r;
    const auto rows = connection.select(
        accountRowQuery(QStringLiteral("sid,ruta,huso_horario,ruta_bbdd")),
        {}, &r);
    if (!r.ok()) {
        result.status = DefaultsStatus::Failed;
        result.error = r.error;
        return result;
    }
    if (rows.empty())
        return result;

    const db::Row &row = rows.front();
    result.sid = row.at(0).toLongLong();
    const QString route = row.at(1).toString();
    const bool zoneNull = !row.at(2).isValid();
    const bool sharedPathEmpty = row.at(3).toString().isEmpty();
    const bool routeValid = route == QLatin1String("1") || route == QLatin1String("3") || route == QLatin1String("0");
    result.route = route == QLatin1String("1") ? route : QStringLiteral("3");

    db::Transaction transaction(connection);
    if (!transaction.isActive()) {
        result.status = DefaultsStatus::Failed;
        result.error = QStringLiteral("cannot begin a transaction");
        return result;
    }
    const QVariant sid = result.sid;
    if (zoneNull)
        r = connection.execute(QStringLiteral("UPDATE Usuario SET huso_horario=?1 WHERE sid=?2"),
                             {QStringLiteral("GMT +01:00"), sid});
    if (r.ok() && sharedPathEmpty)
        r = connection.execute(QStringLiteral("UPDATE Usuario SET ruta_bbdd=?1 WHERE sid=?2"),
                             {localDatabasePath(programFolder), sid});
    if (r.ok() && !routeValid)
        r = connection.execute(QStringLiteral("UPDATE Usuario SET ruta=?1 WHERE sid=?2"), {QStringLiteral("3"), sid});
    if (r.ok())
        r = transaction.commit();
    if (!r.ok()) {
        result.status = DefaultsStatus::Failed;
        result.error = r.error;
        return result;
    }
    result.status = DefaultsStatus::Written;
    return result;
}

} // namespace database
