#include "importexport/excel/contact_store.h"

namespace importexport::excel {

namespace {

QVariant nullIfEmpty(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// Text fields are stored as the record has them; a missing birth date is null.
QVariantList values(const Contacto &c)
{
    return {c.nombre, c.nombre_completo, c.direccion, c.telefono_2, c.comentario, nullIfEmpty(c.f_nacimiento)};
}

} // namespace

bool listaContiene(const QString &lista, const QString &sid)
{
    if (sid.isEmpty())
        return false;
    const QStringList parts = lista.split(u',');
    for (const QString &part : parts)
        if (part.trimmed() == sid)
            return true;
    return false;
}

QString listaConGrupo(const QString &lista, const QString &sid)
{
    if (lista.isEmpty())
        return sid;
    return lista + u',' + sid;
}

bool mismosDatos(const Contacto &registro, const ContactoGuardado &guardado)
{
    const auto same = [](const QString &imported, const QVariant &stored) {
        return !stored.isValid() || stored.isNull() || stored.toString() == imported;
    };
    return same(registro.nombre, guardado.nombre) && same(registro.nombre_completo, guardado.nombre_completo)
        && same(registro.direccion, guardado.direccion) && same(registro.telefono_2, guardado.telefono_2)
        && same(registro.comentario, guardado.comentario) && same(registro.f_nacimiento, guardado.f_nacimiento);
}

std::optional<ContactoGuardado> ContactStore::buscarPorTelefono(const QString &telefono, db::Result *result)
{
    const std::vector<db::Row> rows = m_conexion.select(
        QStringLiteral("SELECT sid,nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento,"
                       "grupos_sid FROM Agenda WHERE telefono=?1 ORDER BY sid LIMIT 1"),
        {telefono}, result);
    if (rows.empty())
        return std::nullopt;
    const db::Row &row = rows.front();
    ContactoGuardado c;
    c.sid = row.value(0).toLongLong();
    c.nombre = row.value(1);
    c.telefono = row.value(2);
    c.nombre_completo = row.value(3);
    c.direccion = row.value(4);
    c.telefono_2 = row.value(5);
    c.comentario = row.value(6);
    c.f_nacimiento = row.value(7);
    c.grupos_sid = row.value(8);
    return c;
}

db::Result ContactStore::insertar(const Contacto &contacto, const QString &grupos_sid, qint64 *sid)
{
    QVariantList v = values(contacto);
    v << contacto.telefono << grupos_sid;
    const db::Result r = m_conexion.execute(
        QStringLiteral("INSERT INTO Agenda (nombre,nombre_completo,direccion,telefono_2,comentario,f_nacimiento,"
                       "telefono,grupos_sid) VALUES (?1,?2,?3,?4,?5,?6,?7,?8)"),
        v);
    if (r.ok() && sid)
        *sid = m_conexion.lastInsertRowId();
    return r;
}

db::Result ContactStore::sobreescribir(qint64 sid, const Contacto &contacto)
{
    QVariantList v = values(contacto);
    v << sid;
    return m_conexion.execute(QStringLiteral("UPDATE Agenda SET nombre=?1, nombre_completo=?2, direccion=?3, "
                                             "telefono_2=?4, comentario=?5, f_nacimiento=?6 WHERE sid=?7"),
                              v);
}

db::Result ContactStore::ponerGrupos(qint64 sid, const QString &grupos_sid)
{
    return m_conexion.execute(QStringLiteral("UPDATE Agenda SET grupos_sid=?1 WHERE sid=?2"), {grupos_sid, sid});
}

QStringList ContactStore::nombresGrupos(db::Result *result)
{
    QStringList names;
    for (const db::Row &row : m_conexion.select(QStringLiteral("SELECT nombre FROM Grupos ORDER BY sid"), {}, result))
        names << row.value(0).toString();
    return names;
}

bool ContactStore::existeGrupo(const QString &nombre, db::Result *result)
{
    return m_conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE nombre=?1"), {nombre}, result).toLongLong()
         > 0;
}

std::optional<qint64> ContactStore::crearGrupo(const QString &nombre, db::Result *result)
{
    const db::Result r = m_conexion.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?1)"), {nombre});
    if (result)
        *result = r;
    if (!r.ok())
        return std::nullopt;
    return m_conexion.lastInsertRowId();
}

std::optional<qint64> ContactStore::sidGrupo(const QString &nombre, db::Result *result)
{
    const QVariant sid =
        m_conexion.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre=?1 ORDER BY sid LIMIT 1"), {nombre}, result);
    if (!sid.isValid() || sid.isNull())
        return std::nullopt;
    return sid.toLongLong();
}

} // namespace importexport::excel
