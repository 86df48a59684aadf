#pragma once

#include <QString>

#include <optional>

namespace db { class Connection; }

// The contact editor's save: the checks of the typed values and the one row it writes. It writes
// only the seven columns it shows; a contact's groups are never touched here.
namespace contacts {

struct DatosContacto {
    QString nombre;             // name box
    QString telefono;           // mobile box
    QString nombre_completo;    // full-name box
    QString direccion;          // address box
    QString telefono_2;         // other-phone box
    QString comentario;         // comment box
    QString f_nacimiento;       // birth-date box, as typed (DD/MM/AAAA or DD/MM/AA)
};

struct ResultadoGuardar {
    enum class Status {
        Guardado,           // inserted (sid is the new row's)
        Modificado,         // updated
        FaltanDatos,        // name or phone empty
        FechaErronea,       // birth date not in the accepted format
        FechaInexistente,   // right format, but no such day (31/02/1990)
        ContactoInexistente,// the contact being changed was deleted meanwhile
        ErrorBaseDatos
    };
    Status estado = Status::FaltanDatos;
    qint64 sid = 0;
    QString mensaje;            // what the user is told
    QString titulo;
    QString error;              // the database's own text, for logs
    bool ok() const { return estado == Status::Guardado || estado == Status::Modificado; }
};

// Checks and writes: a new row when `existingSid` is empty, else the row with that sid. An empty
// birth date stores no date on creation and keeps the stored one on a change. Empty optional
// fields are stored as empty texts.
ResultadoGuardar guardarContacto(db::Connection &connection, const DatosContacto &fields,
                                 std::optional<qint64> existingSid);

// The row's values as the editor's boxes show them (the date day first).
DatosContacto datosParaEditor(const QString &name, const QString &phone, const QString &fullName,
                              const QString &address, const QString &phone2, const QString &comment,
                              const QString &storedBirthDate);

inline constexpr auto kFaltanDatos = "Por favor, introduzca el nombre del contacto y su teléfono móvil.";
inline constexpr auto kTituloFaltanDatos = "Faltan datos requeridos";
inline constexpr auto kFechaErronea = "La fecha de nacimiento debe seguir el formato: DD/MM/AAAA o DD/MM/AA . Un "
                                      "ejemplo de fecha valida seria: 23/10/1984 o 23/10/84";
inline constexpr auto kTituloFechaErronea = "Formato de fecha erróneo";
inline constexpr auto kFechaInexistente = "La fecha de nacimiento no existe en el calendario. Por favor, revise "
                                          "el día y el mes. Un ejemplo de fecha valida seria: 23/10/1984 o 23/10/84";
inline constexpr auto kContactoModificado = "El contacto fue modificado satisfactoriamente.";
inline constexpr auto kTituloModificar = "Modificar contacto";
inline constexpr auto kContactoGuardado = "El contacto fue guardado satisfactoriamente.";
inline constexpr auto kTituloGuardado = "Contacto agregado";
inline constexpr auto kContactoInexistente =
    "El contacto que estaba modificando ya no existe en la agenda: puede que se haya eliminado desde otra "
    "ventana o puesto. Sus datos siguen en la ventana; pulse \"Guardar contacto\" para guardarlo como nuevo.";
inline constexpr auto kErrorGuardar = "No se pudo guardar el contacto en la base de datos. Sus datos siguen en "
                                      "la ventana: inténtelo de nuevo en unos momentos.";
inline constexpr auto kTituloError = "Error";

} // namespace contacts
