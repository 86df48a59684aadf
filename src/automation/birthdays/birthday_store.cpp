#include "automation/birthdays/birthday_store.h"

#include "platform/text/decimal.h"
#include "startup/brand.h"

namespace automation::birthdays {
namespace {

const QString kColumnas =
    QStringLiteral("SELECT sid, nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento FROM Agenda ");

// Rows with a birth date that cannot be read are left out, as if they had none.
std::optional<Contacto> contactoDeFila(const db::Row &fila)
{
    const std::optional<QDate> nacimiento = leerNacimiento(fila.value(7).toString());
    if (!nacimiento)
        return std::nullopt;
    Contacto c;
    c.sid = fila.value(0).toLongLong();
    c.nombre = fila.value(1).toString();
    c.telefono = fila.value(2).toString();
    c.nombre_completo = fila.value(3).toString();
    c.direccion = fila.value(4).toString();
    c.telefono_2 = fila.value(5).toString();
    c.comentario = fila.value(6).toString();
    c.nacimiento = *nacimiento;
    return c;
}

} // namespace

QList<EntradaGrupo> leerGrupos(db::Connection &conexion)
{
    QList<EntradaGrupo> grupos;
    const qint64 todos = conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda")).toLongLong();
    grupos.append({QStringLiteral("TODOS (%1)").arg(todos), std::nullopt});
    const std::vector<db::Row> filas =
        conexion.select(QStringLiteral("SELECT sid, nombre FROM Grupos ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"));
    for (const db::Row &fila : filas) {
        const qint64 sid = fila.value(0).toLongLong();
        const qint64 miembros = conexion
                                    .scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE en_lista(grupos_sid, ?1) = 1"),
                                            {sid})
                                    .toLongLong();
        grupos.append({QStringLiteral("Grupo: %1 (%2)").arg(fila.value(1).toString()).arg(miembros), sid});
    }
    return grupos;
}

QStringList leerRemitentes(db::Connection &conexion)
{
    QStringList remitentes;
    // The default sender is stored as 1 here: descending order puts it first.
    for (const db::Row &fila :
         conexion.select(QStringLiteral("SELECT remitente FROM Remitentes ORDER BY defecto DESC, remitente ASC")))
        remitentes.append(fila.value(0).toString());
    if (remitentes.isEmpty())
        remitentes.append(brand::remitente_defecto());
    return remitentes;
}

QStringList leerPlantillas(db::Connection &conexion)
{
    QStringList nombres;
    for (const db::Row &fila : conexion.select(QStringLiteral("SELECT nombre FROM Plantillas ORDER BY nombre COLLATE ESPANOL ASC, sid ASC")))
        nombres.append(fila.value(0).toString());
    if (nombres.isEmpty())
        nombres.append(kSinPlantilla);
    return nombres;
}

std::optional<QString> textoPlantilla(db::Connection &conexion, const QString &nombre)
{
    const std::vector<db::Row> filas = conexion.select(
        QStringLiteral("SELECT mensaje FROM Plantillas WHERE nombre = ?1 COLLATE ESPANOL ORDER BY sid LIMIT 1"), {nombre});
    if (filas.empty())
        return std::nullopt;
    return filas.front().value(0).toString();
}

std::optional<Cuenta> leerCuenta(db::Connection &conexion)
{
    const std::vector<db::Row> filas = conexion.select(
        QStringLiteral("SELECT login, pass, ruta, saldo, huso_horario FROM Usuario ORDER BY sid LIMIT 1"));
    if (filas.empty())
        return std::nullopt;
    const db::Row &fila = filas.front();
    Cuenta cuenta;
    cuenta.login = fila.value(0).toString();
    cuenta.pass = fila.value(1).toString();
    cuenta.ruta = fila.value(2).toString();
    cuenta.saldo = text::parseDecimal(fila.value(3).toString()).value_or(0.0);
    cuenta.huso_horario = fila.value(4).toString();
    return cuenta;
}

QList<Contacto> contactosFelicitables(db::Connection &conexion, std::optional<qint64> grupo, const QDate &hoy,
                                      const QString &huso_horario, db::Result *result)
{
    const QString sql = kColumnas
        + QStringLiteral("WHERE (?1 IS NULL OR en_lista(grupos_sid, ?1) = 1) "
                         "AND f_nacimiento IS NOT NULL AND f_nacimiento <> '' "
                         "AND NOT EXISTS (SELECT 1 FROM Historial WHERE Historial.bool_cumple = '1' "
                         "AND Historial.f_programada >= ?2 AND Historial.destinatario = Agenda.telefono) "
                         "ORDER BY sid ASC");
    const QVariant grupoValor = grupo ? QVariant(*grupo) : QVariant();
    const std::vector<db::Row> filas = conexion.select(sql, {grupoValor, limitePendientes(hoy, huso_horario)}, result);
    QList<Contacto> contactos;
    for (const db::Row &fila : filas) {
        if (std::optional<Contacto> c = contactoDeFila(fila))
            contactos.append(*c);
    }
    ordenarPorCumpleanos(contactos);
    return contactos;
}

bool felicitacionPendiente(db::Connection &conexion, const QString &telefono, const QDate &hoy,
                           const QString &huso_horario, db::Result *result)
{
    // The same test as the list's.
    return conexion
               .scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM Historial WHERE Historial.bool_cumple = '1' "
                                      "AND Historial.f_programada >= ?2 AND Historial.destinatario = ?1)"),
                       {telefono, limitePendientes(hoy, huso_horario)}, result)
               .toInt()
        != 0;
}

std::optional<Contacto> contactoPorSid(db::Connection &conexion, qint64 sid, db::Result *result)
{
    const std::vector<db::Row> filas = conexion.select(kColumnas + QStringLiteral("WHERE sid = ?1"), {sid}, result);
    if (filas.empty())
        return std::nullopt;
    return contactoDeFila(filas.front());
}

db::Result registrarFelicitaciones(db::Connection &conexion, const QList<FelicitacionProgramada> &envios,
                                   const QString &login, const QString &mensaje, const QString &remitente,
                                   const QString &f_envio)
{
    db::Transaction transaccion(conexion);
    if (!transaccion.isActive())
        return {db::Status::Error, QStringLiteral("cannot begin a transaction")};
    db::Result r;
    db::Statement insert = conexion.prepare(
        QStringLiteral("INSERT INTO Historial (username, destinatario, f_envio, mensaje, id_web, f_programada, estado, "
                       "bool_cumple, remitente, creditos) VALUES (?1, ?2, ?3, ?4, ?5, ?6, '0|0|0', '1', ?7, 1)"),
        &r);
    if (!r.ok())
        return r;
    for (const FelicitacionProgramada &envio : envios) {
        insert.reset();
        insert.bindAll({login, envio.telefono, f_envio, mensaje, QString::number(envio.id_web), envio.f_programada,
                        remitente});
        r = insert.run();
        if (!r.ok())
            return r;
    }
    return transaccion.commit();
}

} // namespace automation::birthdays
