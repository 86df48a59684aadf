#include "contacts/contact_editor_rules.h"

#include "contacts/birth_date.h"
#include "platform/db/connection.h"

namespace contacts {

namespace {

ResultadoGuardar aviso(ResultadoGuardar::Estado estado, const char *mensaje, const char *titulo)
{
    ResultadoGuardar r;
    r.estado = estado;
    r.mensaje = QString::fromUtf8(mensaje);
    r.titulo = QString::fromUtf8(titulo);
    return r;
}

} // namespace

ResultadoGuardar guardarContacto(db::Connection &conexion, const DatosContacto &d, std::optional<qint64> modificar)
{
    using Estado = ResultadoGuardar::Estado;
    if (d.nombre.isEmpty() || d.telefono.isEmpty())
        return aviso(Estado::FaltanDatos, kFaltanDatos, kTituloFaltanDatos);

    std::optional<QString> fecha;
    if (!d.f_nacimiento.isEmpty()) {
        if (!formatoFechaValido(d.f_nacimiento))
            return aviso(Estado::FechaErronea, kFechaErronea, kTituloFechaErronea);
        const std::optional<QDate> dia = fechaDeTexto(d.f_nacimiento);
        if (!dia)
            return aviso(Estado::FechaInexistente, kFechaInexistente, kTituloFechaErronea);
        fecha = fechaAlmacenada(*dia);
    }

    // Empty boxes are stored as empty texts, never as Null.
    auto texto = [](const QString &s) { return s.isNull() ? QStringLiteral("") : s; };
    QVariantList valores = {texto(d.nombre),    texto(d.telefono),   texto(d.nombre_completo),
                            texto(d.direccion), texto(d.telefono_2), texto(d.comentario)};
    QString sql;
    if (!modificar) {
        sql = fecha ? QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2, "
                                     "comentario,f_nacimiento) VALUES (?,?,?,?,?,?,?)")
                    : QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2, "
                                     "comentario) VALUES (?,?,?,?,?,?)");
    } else {
        // An emptied date box leaves the stored date as it was.
        sql = QStringLiteral("UPDATE Agenda SET nombre=?, telefono=?, nombre_completo=?, direccion=?, "
                             "telefono_2=?, comentario=?")
            + (fecha ? QStringLiteral(", f_nacimiento=?") : QString()) + QStringLiteral(" WHERE sid=?");
    }
    if (fecha)
        valores << *fecha;
    if (modificar)
        valores << *modificar;

    const db::Result r = conexion.execute(sql, valores);
    if (!r.ok()) {
        ResultadoGuardar fallo = aviso(Estado::ErrorBaseDatos, kErrorGuardar, kTituloError);
        fallo.error = r.error;
        return fallo;
    }
    if (modificar) {
        if (r.changes == 0)
            return aviso(Estado::ContactoInexistente, kContactoInexistente, kTituloModificar);
        ResultadoGuardar ok = aviso(Estado::Modificado, kContactoModificado, kTituloModificar);
        ok.sid = *modificar;
        return ok;
    }
    ResultadoGuardar ok = aviso(Estado::Guardado, kContactoGuardado, kTituloGuardado);
    ok.sid = conexion.lastInsertRowId();
    return ok;
}

DatosContacto datosParaEditor(const QString &nombre, const QString &telefono, const QString &nombreCompleto,
                              const QString &direccion, const QString &telefono2, const QString &comentario,
                              const QString &fNacimientoAlmacenada)
{
    return {nombre, telefono, nombreCompleto, direccion, telefono2, comentario,
            fNacimientoAlmacenada.isEmpty() ? QString() : fechaMostrada(fNacimientoAlmacenada)};
}

} // namespace contacts
