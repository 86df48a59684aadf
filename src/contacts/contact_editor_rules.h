#pragma once

#include <QString>

#include <optional>

namespace db { class Connection; }

// The contact editor's save: the checks of the typed values and the one row it writes. It writes
// only the seven columns it shows; a contact's groups are never touched here.
namespace contacts {

struct ContactFields {
    QString name;             // name box
    QString phone;           // mobile box
    QString fullName;    // full-name box
    QString address;          // address box
    QString phone2;         // other-phone box
    QString comment;         // comment box
    QString birthDate;       // birth-date box, as typed (DD/MM/AAAA or DD/MM/AA)
};

struct SaveResult {
    enum class Status {
        Created,           // inserted (sid is the new row's)
        Updated,         // updated
        MissingFields,        // name or phone empty
        BadDateFormat,       // birth date not in the accepted format
        NoSuchDate,   // right format, but no such day (31/02/1990)
        ContactGone,// the contact being changed was deleted meanwhile
        DatabaseError
    };
    Status status = Status::MissingFields;
    qint64 sid = 0;
    QString message;            // what the user is told
    QString title;
    QString error;              // the database's own text, for logs
    bool ok() const { return status == Status::Created || status == Status::Updated; }
};

// Checks and writes: a new row when `existingSid` is empty, else the row with that sid. An empty
// birth date stores no date on creation and keeps the stored one on a change. Empty optional
// fields are stored as empty texts.
SaveResult saveContact(db::Connection &connection, const ContactFields &fields,
                                 std::optional<qint64> existingSid);

// The row's values as the editor's boxes show them (the date day first).
ContactFields editorFields(const QString &name, const QString &phone, const QString &fullName,
                              const QString &address, const QString &phone2, const QString &comment,
                              const QString &storedBirthDate);

inline constexpr auto kMissingFieldsMessage = "Por favor, introduzca el nombre del contacto y su teléfono móvil.";
inline constexpr auto kMissingFieldsTitle = "Faltan datos requeridos";
inline constexpr auto kBadDateMessage = "La fecha de nacimiento debe seguir el formato: DD/MM/AAAA o DD/MM/AA . Un "
                                      "ejemplo de fecha valida seria: 23/10/1984 o 23/10/84";
inline constexpr auto kBadDateTitle = "Formato de fecha erróneo";
inline constexpr auto kNoSuchDateMessage = "La fecha de nacimiento no existe en el calendario. Por favor, revise "
                                          "el día y el mes. Un ejemplo de fecha valida seria: 23/10/1984 o 23/10/84";
inline constexpr auto kContactUpdatedMessage = "El contacto fue modificado satisfactoriamente.";
inline constexpr auto kUpdateContactTitle = "Modificar contacto";
inline constexpr auto kContactSavedMessage = "El contacto fue guardado satisfactoriamente.";
inline constexpr auto kContactAddedTitle = "Contacto agregado";
inline constexpr auto kContactGoneWhileEditingMessage =
    "El contacto que estaba modificando ya no existe en la agenda: puede que se haya eliminado desde otra "
    "ventana o puesto. Sus datos siguen en la ventana; pulse \"Guardar contacto\" para guardarlo como nuevo.";
inline constexpr auto kSaveErrorMessage = "No se pudo guardar el contacto en la base de datos. Sus datos siguen en "
                                      "la ventana: inténtelo de nuevo en unos momentos.";
inline constexpr auto kErrorTitle = "Error";

} // namespace contacts
