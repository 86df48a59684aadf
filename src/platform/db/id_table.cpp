#include "platform/db/id_table.h"

namespace db {

IdTable::IdTable(Connection &connection, const QString &name) : m_connection(connection), m_name(name)
{
    m_status = m_connection.executeScript(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ") + m_name
                                          + QStringLiteral(" (id INTEGER PRIMARY KEY); DELETE FROM temp.") + m_name);
}

IdTable::~IdTable()
{
    if (m_status.ok() && m_connection.isOpen())
        m_connection.executeScript(QStringLiteral("DROP TABLE IF EXISTS temp.") + m_name);
}

Result IdTable::add(std::span<const qint64> ids)
{
    if (!m_status.ok())
        return m_status;
    Result r;
    Statement insert = m_connection.prepare(QStringLiteral("INSERT OR IGNORE INTO temp.") + m_name
                                                + QStringLiteral(" (id) VALUES (?1)"),
                                            &r);
    if (!insert.isValid())
        return r;
    for (const qint64 id : ids) {
        insert.bind(1, id);
        r = insert.run();
        if (!r.ok())
            return r;
        insert.reset();
    }
    return r;
}

QString IdTable::subquery() const { return QStringLiteral("(SELECT id FROM temp.") + m_name + QLatin1Char(')'); }

} // namespace db
