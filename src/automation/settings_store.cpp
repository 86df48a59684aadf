#include "automation/settings_store.h"

namespace automation {

std::optional<AutomationSettings> readSettings(db::Connection &connection)
{
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT minutos, delimitador, archivo, activo FROM Automatizado ORDER BY sid LIMIT 1"));
    if (rows.empty())
        return std::nullopt;
    const db::Row &row = rows.front();
    return AutomationSettings{row.value(0).toString(), row.value(1).toString(), row.value(2).toString(),
                   row.value(3).toString()};
}

db::Result writeSettings(db::Connection &connection, const QString &minutes, const QString &separator,
                          const QString &file)
{
    // The old row goes only together with the new one coming in.
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return transaction.beginResult();
    db::Result result = connection.execute(QStringLiteral("DELETE FROM Automatizado"));
    if (!result.ok())
        return result;
    result = connection.execute(
        QStringLiteral("INSERT INTO Automatizado (minutos, delimitador, archivo, activo) VALUES (?1, ?2, ?3, ?4)"),
        {minutes, separator, file, QStringLiteral("0")});
    if (!result.ok())
        return result;
    return transaction.commit();
}

db::Result markActive(db::Connection &connection, bool active)
{
    return connection.execute(QStringLiteral("UPDATE Automatizado SET activo = ?1"),
                            {active ? QStringLiteral("1") : QStringLiteral("0")});
}

} // namespace automation
