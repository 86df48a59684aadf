#include "importexport/store/agenda_store.h"

namespace importexport {

QString nonNullText(const QString &text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

namespace {

// Texts bound as texts even when empty; an invalid value stays Null.
QVariant bound(const QVariant &value)
{
    if (!value.isValid())
        return {};
    if (value.typeId() == QMetaType::QString)
        return nonNullText(value.toString());
    return value;
}

QVariant column(const db::Row &row, int i)
{
    const QVariant v = row.value(i);
    if (!v.isValid() || v.isNull())
        return {};
    return v.toString();
}

} // namespace

std::optional<StoredContact> AgendaStore::findByPhone(const QString &telefono, db::Result *result)
{
    db::Result r;
    const auto rows = m_conexion.select(
        QStringLiteral("SELECT sid,nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento "
                       "FROM Agenda WHERE telefono=?1 ORDER BY sid LIMIT 1"),
        {nonNullText(telefono)}, &r);
    if (result)
        *result = r;
    if (!r.ok() || rows.empty())
        return std::nullopt;
    const db::Row &row = rows.front();
    StoredContact c;
    c.sid = row.value(0).toLongLong();
    c.values = {column(row, 1), column(row, 2), column(row, 3), column(row, 4),
                column(row, 5), column(row, 6), column(row, 7)};
    return c;
}

bool AgendaStore::phoneExists(const QString &telefono, db::Result *result)
{
    db::Result r;
    const QVariant found =
        m_conexion.scalar(QStringLiteral("SELECT 1 FROM Agenda WHERE telefono=?1 LIMIT 1"), {nonNullText(telefono)}, &r);
    if (result)
        *result = r;
    return r.ok() && found.isValid();
}

bool AgendaStore::sameContactExists(const ContactValues &v, db::Result *result)
{
    db::Result r;
    const QVariant found = m_conexion.scalar(
        QStringLiteral("SELECT 1 FROM Agenda WHERE nombre=?1 AND telefono=?2 AND nombre_completo=?3 AND direccion=?4 "
                       "AND telefono_2=?5 AND comentario=?6 LIMIT 1"),
        {bound(v.nombre), bound(v.telefono), bound(v.nombre_completo), bound(v.direccion), bound(v.telefono_2),
         bound(v.comentario)},
        &r);
    if (result)
        *result = r;
    return r.ok() && found.isValid();
}

db::Result AgendaStore::insert(const ContactValues &v)
{
    return m_conexion.execute(
        QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento) "
                       "VALUES (?1,?2,?3,?4,?5,?6,?7)"),
        {bound(v.nombre), bound(v.telefono), bound(v.nombre_completo), bound(v.direccion), bound(v.telefono_2),
         bound(v.comentario), bound(v.f_nacimiento)});
}

db::Result AgendaStore::overwrite(qint64 sid, const ContactValues &v)
{
    return m_conexion.execute(
        QStringLiteral("UPDATE Agenda SET nombre=?1,nombre_completo=?2,direccion=?3,telefono_2=?4,comentario=?5,"
                       "f_nacimiento=?6 WHERE sid=?7"),
        {bound(v.nombre), bound(v.nombre_completo), bound(v.direccion), bound(v.telefono_2), bound(v.comentario),
         bound(v.f_nacimiento), sid});
}

} // namespace importexport
