#include "contacts/contact_editor_rules.h"

#include "contacts/birth_date.h"
#include "platform/db/connection.h"

namespace contacts {

namespace {

ResultadoGuardar notice(ResultadoGuardar::Status status, const char *message, const char *title)
{
    ResultadoGuardar r;
    r.estado = status;
    r.mensaje = QString::fromUtf8(message);
    r.titulo = QString::fromUtf8(title);
    return r;
}

} // namespace

ResultadoGuardar guardarContacto(db::Connection &connection, const DatosContacto &d, std::optional<qint64> existingSid)
{
    using Status = ResultadoGuardar::Status;
    if (d.nombre.isEmpty() || d.telefono.isEmpty())
        return notice(Status::FaltanDatos, kFaltanDatos, kTituloFaltanDatos);

    std::optional<QString> date;
    if (!d.f_nacimiento.isEmpty()) {
        if (!formatoFechaValido(d.f_nacimiento))
            return notice(Status::FechaErronea, kFechaErronea, kTituloFechaErronea);
        const std::optional<QDate> day = fechaDeTexto(d.f_nacimiento);
        if (!day)
            return notice(Status::FechaInexistente, kFechaInexistente, kTituloFechaErronea);
        date = fechaAlmacenada(*day);
    }

    // Empty boxes are stored as empty texts, never as Null.
    auto text = [](const QString &s) { return s.isNull() ? QStringLiteral("") : s; };
    QVariantList values = {text(d.nombre),    text(d.telefono),   text(d.nombre_completo),
                            text(d.direccion), text(d.telefono_2), text(d.comentario)};
    QString sql;
    if (!existingSid) {
        sql = date ? QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2, "
                                     "comentario,f_nacimiento) VALUES (?,?,?,?,?,?,?)")
                    : QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2, "
                                     "comentario) VALUES (?,?,?,?,?,?)");
    } else {
        // An emptied date box leaves the stored date as it was.
        sql = QStringLiteral("UPDATE Agenda SET nombre=?, telefono=?, nombre_completo=?, direccion=?, "
                             "telefono_2=?, comentario=?")
            + (date ? QStringLiteral(", f_nacimiento=?") : QString()) + QStringLiteral(" WHERE sid=?");
    }
    if (date)
        values << *date;
    if (existingSid)
        values << *existingSid;

    const db::Result r = connection.execute(sql, values);
    if (!r.ok()) {
        ResultadoGuardar failure = notice(Status::ErrorBaseDatos, kErrorGuardar, kTituloError);
        failure.error = r.error;
        return failure;
    }
    if (existingSid) {
        if (r.changes == 0)
            return notice(Status::ContactoInexistente, kContactoInexistente, kTituloModificar);
        ResultadoGuardar ok = notice(Status::Modificado, kContactoModificado, kTituloModificar);
        ok.sid = *existingSid;
        return ok;
    }
    ResultadoGuardar ok = notice(Status::Guardado, kContactoGuardado, kTituloGuardado);
    ok.sid = connection.lastInsertRowId();
    return ok;
}

DatosContacto datosParaEditor(const QString &name, const QString &phone, const QString &fullName,
                              const QString &address, const QString &phone2, const QString &comment,
                              const QString &storedBirthDate)
{
    return {name, phone, fullName, address, phone2, comment,
            storedBirthDate.isEmpty() ? QString() : fechaMostrada(storedBirthDate)};
}

} // namespace contacts
