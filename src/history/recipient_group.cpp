#include "history/recipient_group.h"

#include <QSet>

namespace history {

bool existeGrupoDestinatarios(db::Connection &conexion, const QString &nombre)
{
    return conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE nombre = ?1 COLLATE ESPANOL"), {nombre})
               .toLongLong()
        > 0;
}

GrupoCreado crearGrupoDeTelefonos(db::Connection &conexion, const QString &nombre, const QStringList &telefonos)
{
    GrupoCreado creado;
    db::Transaction transaction(conexion);
    if (!transaction.isActive()) {
        creado.error = transaction.beginResult().error;
        return creado;
    }
    db::Result r = conexion.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?1)"), {nombre});
    if (!r.ok()) {
        creado.error = r.error;
        return creado;
    }
    creado.sid = conexion.lastInsertRowId();
    const QString grupo = QString::number(creado.sid);

    // The contacts are matched here rather than in SQL: a set lookup per contact stays fast for
    // lists of hundreds of thousands of characters, and a number never matches part of another.
    const QSet<QString> buscados(telefonos.cbegin(), telefonos.cend());
    const std::vector<db::Row> contactos =
        conexion.select(QStringLiteral("SELECT sid, telefono, grupos_sid FROM Agenda"), {}, &r);
    if (!r.ok()) {
        creado.error = r.error;
        return creado;
    }
    db::Statement update = conexion.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid = ?1 WHERE sid = ?2"), &r);
    if (!r.ok()) {
        creado.error = r.error;
        return creado;
    }
    for (const db::Row &contacto : contactos) {
        const QString telefono = contacto.value(1).toString().trimmed();
        if (telefono.isEmpty() || !buscados.contains(telefono))
            continue;
        const QString grupos = contacto.value(2).isValid() ? contacto.value(2).toString() : QString();
        update.reset();
        update.bindAll({grupos.isEmpty() ? grupo : grupos + QLatin1Char(',') + grupo, contacto.value(0)});
        r = update.run();
        if (!r.ok()) {
            creado.error = r.error;
            return creado;
        }
        ++creado.miembros;
    }
    r = transaction.commit();
    if (!r.ok()) {
        creado.error = r.error;
        return creado;
    }
    creado.status = GrupoCreado::Status::Created;
    return creado;
}

} // namespace history
