#include "importexport/access/pending_contacts.h"

#include <array>

namespace importexport::access {

namespace {

// `orden` keeps the order the contacts came in; `sid` is Null for a new contact.
const char *const kCreate =
    "CREATE TEMP TABLE IF NOT EXISTS importacion_access (orden INTEGER PRIMARY KEY, sid INTEGER, nombre TEXT, "
    "telefono TEXT NOT NULL, nombre_completo TEXT, direccion TEXT, telefono_2 TEXT, comentario TEXT, "
    "f_nacimiento TEXT);"
    "CREATE UNIQUE INDEX IF NOT EXISTS temp.importacion_access_telefono ON importacion_access (telefono);"
    "CREATE INDEX IF NOT EXISTS temp.importacion_access_sid ON importacion_access (sid)";

// The statements of the run's Repeated kinds, in their order.
constexpr std::array<const char *, 3> kRepeatedSql = {
    "SELECT sid,nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento "
    "FROM temp.importacion_access WHERE telefono=?1",
    "INSERT INTO temp.importacion_access (sid,nombre,telefono,nombre_completo,direccion,telefono_2,comentario,"
    "f_nacimiento) VALUES (?1,?2,?3,?4,?5,?6,?7,?8)",
    "UPDATE temp.importacion_access SET nombre=?1,nombre_completo=?2,direccion=?3,telefono_2=?4,comentario=?5,"
    "f_nacimiento=?6 WHERE telefono=?7",
};

} // namespace

PendingContacts::PendingContacts(db::Connection &connection) : m_connection(connection), m_repeated(connection, kRepeatedSql) {}

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

std::optional<StoredContact> PendingContacts::find(const QString &phone, db::Result *result)
{
    db::Result r;
    db::Statement &statement = m_repeated.get(Find, r);
    std::optional<StoredContact> found;
    if (statement.isValid())
        found = firstContactWithPhone(statement, phone, r);
    if (result)
        *result = r;
    return found;
}

db::Result PendingContacts::add(const ContactValues &v)
{
    return m_repeated.run(Insert, {QVariant(), boundValue(v.name), boundValue(v.phone), boundValue(v.fullName),
                                   boundValue(v.address), boundValue(v.otherPhone), boundValue(v.comment),
                                   boundValue(v.birthDate)});
}

db::Result PendingContacts::overwrite(qint64 sid, const ContactValues &v)
{
    const db::Result r = m_repeated.run(Update, {boundValue(v.name), boundValue(v.fullName), boundValue(v.address),
                                                 boundValue(v.otherPhone), boundValue(v.comment), boundValue(v.birthDate),
                                                 boundValue(v.phone)});
    if (!r.ok() || r.changes > 0)
        return r;
    // The first overwrite of a stored contact: kept with its sid.
    return m_repeated.run(Insert, {sid, boundValue(v.name), boundValue(v.phone), boundValue(v.fullName), boundValue(v.address),
                                   boundValue(v.otherPhone), boundValue(v.comment), boundValue(v.birthDate)});
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
