#include "sending/templates/template_store.h"

#include "platform/db/connection.h"

namespace sending {

namespace {

PlantillaResult fromWrite(const db::Result &result, qint64 sid)
{
    PlantillaResult out;
    out.sid = sid;
    if (!result.ok()) {
        out.status = TemplateStatus::Failed;
        out.error = result.error;
    } else if (result.changes == 0) {
        out.status = TemplateStatus::NotFound;
    }
    return out;
}

Plantilla fromRow(const db::Row &row)
{
    return Plantilla{row.value(0).toLongLong(), row.value(1).toString(), row.value(2).toString()};
}

} // namespace

PlantillaList TemplateStore::list()
{
    db::Result result;
    const auto rows = m_conexion.select(
        QStringLiteral("SELECT sid, nombre, mensaje FROM Plantillas ORDER BY sid ASC"), {}, &result);
    PlantillaList out;
    if (!result.ok()) {
        out.status = TemplateStatus::Failed;
        out.error = result.error;
        return out;
    }
    out.plantillas.reserve(rows.size());
    for (const db::Row &row : rows)
        out.plantillas.push_back(fromRow(row));
    return out;
}

PlantillaResult TemplateStore::get(qint64 sid)
{
    db::Result result;
    const auto rows = m_conexion.select(
        QStringLiteral("SELECT sid, nombre, mensaje FROM Plantillas WHERE sid = ?1"), {sid}, &result);
    PlantillaResult out;
    out.sid = sid;
    if (!result.ok()) {
        out.status = TemplateStatus::Failed;
        out.error = result.error;
    } else if (rows.empty()) {
        out.status = TemplateStatus::NotFound;
    } else {
        out.plantilla = fromRow(rows.front());
    }
    return out;
}

PlantillaResult TemplateStore::create(const QString &name, const QString &message)
{
    const db::Result result = m_conexion.execute(
        QStringLiteral("INSERT INTO Plantillas (nombre, mensaje) VALUES (?1, ?2)"), {name, message});
    return fromWrite(result, result.ok() ? m_conexion.lastInsertRowId() : 0);
}

PlantillaResult TemplateStore::modify(qint64 sid, const QString &name, const QString &message)
{
    return fromWrite(m_conexion.execute(
                         QStringLiteral("UPDATE Plantillas SET nombre = ?1, mensaje = ?2 WHERE sid = ?3"),
                         {name, message, sid}),
                     sid);
}

PlantillaResult TemplateStore::remove(qint64 sid)
{
    return fromWrite(m_conexion.execute(QStringLiteral("DELETE FROM Plantillas WHERE sid = ?1"), {sid}), sid);
}

} // namespace sending
