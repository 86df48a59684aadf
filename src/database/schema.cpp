#include "database/schema.h"

namespace database {

namespace {

// Jet compared names and texts without case; the columns people search and sort by keep that.
// Counters are AUTOINCREMENT so a deleted row's key is never handed out again.
constexpr const char *kSchema = R"sql(
CREATE TABLE IF NOT EXISTS Usuario (
  sid INTEGER PRIMARY KEY AUTOINCREMENT,
  login TEXT, pass TEXT, ruta TEXT, saldo TEXT,
  huso_horario TEXT, ruta_bbdd TEXT, defecto_agenda TEXT, version_desktop TEXT);
CREATE TABLE IF NOT EXISTS Agenda (
  sid INTEGER PRIMARY KEY AUTOINCREMENT,
  nombre TEXT COLLATE NOCASE, telefono TEXT, nombre_completo TEXT COLLATE NOCASE,
  direccion TEXT COLLATE NOCASE, telefono_2 TEXT, comentario TEXT COLLATE NOCASE,
  f_nacimiento TEXT, grupos_sid TEXT);
CREATE INDEX IF NOT EXISTS Agenda_telefono ON Agenda (telefono);
CREATE TABLE IF NOT EXISTS Grupos (
  sid INTEGER PRIMARY KEY AUTOINCREMENT,
  nombre TEXT COLLATE NOCASE);
CREATE TABLE IF NOT EXISTS Historial (
  sid INTEGER PRIMARY KEY AUTOINCREMENT,
  destinatario TEXT, f_envio TEXT, f_programada TEXT, mensaje TEXT, id_web TEXT, estado TEXT,
  remitente TEXT, creditos REAL, bool_cumple TEXT, username TEXT);
CREATE INDEX IF NOT EXISTS Historial_f_programada ON Historial (f_programada);
CREATE INDEX IF NOT EXISTS Historial_sid ON Historial (sid);
CREATE INDEX IF NOT EXISTS Historial_id_web ON Historial (id_web);
CREATE TABLE IF NOT EXISTS Plantillas (
  sid INTEGER PRIMARY KEY AUTOINCREMENT,
  nombre TEXT COLLATE NOCASE, mensaje TEXT);
CREATE TABLE IF NOT EXISTS Remitentes (
  remitente TEXT COLLATE NOCASE, defecto INTEGER);
CREATE TABLE IF NOT EXISTS Automatizado (
  sid INTEGER PRIMARY KEY AUTOINCREMENT,
  minutos TEXT, delimitador TEXT, archivo TEXT, activo TEXT);
CREATE TABLE IF NOT EXISTS Parametros_Excel (
  sid INTEGER PRIMARY KEY AUTOINCREMENT,
  ruta TEXT, nombre_i TEXT, telefono_i TEXT, nombre_completo_i TEXT, direccion_i TEXT,
  otro_telefono_i TEXT, comentario_i TEXT, f_nacimiento_i TEXT);
CREATE TABLE IF NOT EXISTS Parametros_Access (
  sid INTEGER PRIMARY KEY AUTOINCREMENT,
  tabla TEXT, ruta TEXT, pass TEXT, nombre_i TEXT, telefono_i TEXT, nombre_completo_i TEXT,
  direccion_i TEXT, otro_telefono_i TEXT, comentario_i TEXT, f_nacimiento_i TEXT, clave_i TEXT);
)sql";

} // namespace

db::Result createSchema(db::Connection &connection)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {db::Status::Error, QStringLiteral("cannot begin a transaction")};
    const bool hadAutomation = connection.hasTable(QStringLiteral("Automatizado"));
    db::Result r = connection.executeScript(QString::fromLatin1(kSchema));
    if (!r.ok())
        return r;
    // The delivered file carried the automation settings row (stopped); the automation menu is
    // disabled when that row is missing.
    if (!hadAutomation) {
        r = connection.execute(QStringLiteral("INSERT INTO Automatizado (minutos,delimitador,archivo,activo) "
                                            "VALUES (?1,?2,?3,?4)"),
                             {QString(), QString(), QString(), QStringLiteral("0")});
        if (!r.ok())
            return r;
    }
    return transaction.commit();
}

bool isClientDatabase(db::Connection &connection)
{
    return connection.hasTable(QStringLiteral("Usuario")) && connection.hasTable(QStringLiteral("Agenda"))
        && connection.hasTable(QStringLiteral("Historial"));
}

} // namespace database
