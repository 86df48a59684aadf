#include "importexport/access/pending_contacts.h"

namespace importexport::access {

namespace {

// `orden` keeps the order the contacts came in; `sid` is Null for a new contact.
const char *const kCreate =
    "CREATE TEMP TABLE IF NOT EXISTS importacion_access (orden INTEGER PRIMARY KEY, sid INTEGER, nombre TEXT, "
    "telefono TEXT NOT NULL, nombre_completo TEXT, direccion TEXT, telefono_2 TEXT, comentario TEXT, "
    "f_nacimiento TEXT);"
    "CREATE UNIQUE INDEX IF NOT EXISTS temp.importacion_access_telefono ON importacion_access (telefono);"
    "CREATE INDEX IF NOT EXISTS temp.importacion_access_sid ON importacion_access (sid)";

} // namespace

db::Result PendingContacts::reset()
{
    db::Result r = m_connection.executeScript(QString::fromLatin1(kCreate));
    m_made = r.ok();
    if (r.ok())
        r = m_connection.execute(QStringLiteral("DELETE FROM temp.importacion_access"));
    return r;
}

void PendingContacts::clear()
{
    if (m_made && m_connection.isOpen())
        (void)m_connection.execute(QStringLiteral("DELETE FROM temp.importacion_access"));
}

db::Statement &PendingContacts::repeated(Repeated which, db::Result &result)
{
    static const char *const kSql[kRepeated] = {
        "SELECT sid,nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento "
        "FROM temp.importacion_access WHERE telefono=?1",
        "INSERT INTO temp.importacion_access (sid,nombre,telefono,nombre_completo,direccion,telefono_2,comentario,"
        "f_nacimiento) VALUES (?1,?2,?3,?4,?5,?6,?7,?8)",
        "UPDATE temp.importacion_access SET nombre=?1,nombre_completo=?2,direccion=?3,telefono_2=?4,comentario=?5,"
        "f_nacimiento=?6 WHERE telefono=?7",
    };
    db::Statement &statement = m_repeated[size_t(which)];
    result = {};
    if (!statement.isValid())
        statement = m_connection.prepare(QString::fromLatin1(kSql[which]), &result);
    return statement;
}

std::optional<StoredContact> PendingContacts::find(const QString &phone, db::Result *result)
{
    db::Result r;
    db::Statement &statement = repeated(Find, r);
    std::optional<StoredContact> found;
    if (statement.isValid())
        found = firstContactWithPhone(statement, phone, r);
    if (result)
        *result = r;
    return found;
}

db::Result PendingContacts::add(const ContactValues &v)
{
    db::Result r;
    db::Statement &statement = repeated(Insert, r);
    if (!statement.isValid())
        return r;
    statement.bindAll({QVariant(), boundValue(v.name), boundValue(v.phone), boundValue(v.fullName), boundValue(v.address),
                       boundValue(v.otherPhone), boundValue(v.comment), boundValue(v.birthDate)});
    r = statement.run();
    statement.reset();
    return r;
}

db::Result PendingContacts::overwrite(qint64 sid, const ContactValues &v)
{
    db::Result r;
    db::Statement &update = repeated(Update, r);
    if (!update.isValid())
        return r;
    update.bindAll({boundValue(v.name), boundValue(v.fullName), boundValue(v.address), boundValue(v.otherPhone), boundValue(v.comment),
                    boundValue(v.birthDate), boundValue(v.phone)});
    r = update.run();
    update.reset();
    if (!r.ok() || r.changes > 0)
        return r;
    // The first overwrite of a stored contact: kept with its sid.
    db::Statement &insert = repeated(Insert, r);
    if (!insert.isValid())
        return r;
    insert.bindAll({sid, boundValue(v.name), boundValue(v.phone), boundValue(v.fullName), boundValue(v.address), boundValue(v.otherPhone),
                    boundValue(v.comment), boundValue(v.birthDate)});
    r = insert.run();
    insert.reset();
    return r;
}

db::Result PendingContacts::applyToBook()
{
    db::Result r = m_connection.execute(QStringLiteral(
        "INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento) "
        "SELECT nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento "
        "FROM temp.importacion_access WHERE sid IS NULL ORDER BY orden"));
    if (!r.ok())
        return r;
    return m_connection.execute(QStringLiteral(
        "UPDATE Agenda SET "
        "nombre=(SELECT p.nombre FROM temp.importacion_access p WHERE p.sid=Agenda.sid),"
        "nombre_completo=(SELECT p.nombre_completo FROM temp.importacion_access p WHERE p.sid=Agenda.sid),"
        "direccion=(SELECT p.direccion FROM temp.importacion_access p WHERE p.sid=Agenda.sid),"
        "telefono_2=(SELECT p.telefono_2 FROM temp.importacion_access p WHERE p.sid=Agenda.sid),"
        "comentario=(SELECT p.comentario FROM temp.importacion_access p WHERE p.sid=Agenda.sid),"
        "f_nacimiento=(SELECT p.f_nacimiento FROM temp.importacion_access p WHERE p.sid=Agenda.sid) "
        "WHERE sid IN (SELECT sid FROM temp.importacion_access WHERE sid IS NOT NULL)"));
}

} // namespace importexport::access
