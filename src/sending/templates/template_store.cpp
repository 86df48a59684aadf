#include "sending/templates/template_store.h"

#include "platform/db/connection.h"

namespace sending {

namespace {

TemplateResult fromWrite(const db::Result &result, qint64 sid)
{
    TemplateResult out;
    out.sid = sid;
    if (!result.ok()) {
        out.status = TemplateStatus::Failed;
        out.error = result.error;
    } else if (result.changes == 0) {
        out.status = TemplateStatus::NotFound;
    }
    return out;
}

TemplateRow fromRow(const db::Row &row)
{
    return TemplateRow{row.value(0).toLongLong(), row.value(1).toString(), row.value(2).toString()};
}

} // namespace

TemplateList TemplateStore::list()
{
    db::Result result;
    const auto rows = m_connection.select(
        QStringLiteral("SELECT sid, nombre, mensaje FROM Plantillas ORDER BY sid ASC"), {}, &result);
    TemplateList out;
    if (!result.ok()) {
        out.status = TemplateStatus::Failed;
        out.error = result.error;
        return out;
    }
    out.rows.reserve(rows.size());
    for (const db::Row &row : rows)
        out.rows.push_back(fromRow(row));
    return out;
}

TemplateResult TemplateStore::get(qint64 sid)
{
    db::Result result;
    const auto rows = m_connection.select(
        QStringLiteral("SELECT sid, nombre, mensaje FROM Plantillas WHERE sid = ?1"), {sid}, &result);
    TemplateResult out;
    out.sid = sid;
    if (!result.ok()) {
        out.status = TemplateStatus::Failed;
        out.error = result.error;
    } else if (rows.empty()) {
        out.status = TemplateStatus::NotFound;
    } else {
        out.row = fromRow(rows.front());
    }
    return out;
}

TemplateResult TemplateStore::create(const QString &name, const QString &message)
{
    const db::Result result = m_connection.execute(
        QStringLiteral("INSERT INTO Plantillas (nombre, mensaje) VALUES (?1, ?2)"), {name, message});
    return fromWrite(result, result.ok() ? m_connection.lastInsertRowId() : 0);
}

TemplateResult TemplateStore::modify(qint64 sid, const QString &name, const QString &message)
{
    return fromWrite(m_connection.execute(
                         QStringLiteral("UPDATE Plantillas SET nombre = ?1, mensaje = ?2 WHERE sid = ?3"),
                         {name, message, sid}),
                     sid);
}

TemplateResult TemplateStore::remove(qint64 sid)
{
    return fromWrite(m_connection.execute(QStringLiteral("DELETE FROM Plantillas WHERE sid = ?1"), {sid}), sid);
}

} // namespace sending
