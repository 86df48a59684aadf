#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace db { class Connection; }

// The groups (table Grupos) as the "Grupos" tab lists them, and their lifecycle: creation with a
// unique name, deletion after taking the group out of every contact.
namespace contacts {

struct Group {
    qint64 sid = 0;
    QString name;
    qint64 memberCount = 0;
};

struct GroupList {
    bool ok = true;
    QString error;
    std::vector<Group> groups;  // in name order
};

// Every group with its member count (whole-number membership).
GroupList listGroups(db::Connection &connection);

// The tree text of a group: its name, with " (n contactos)" when it has members.
QString groupText(const Group &group);

// The filter's group list after a refill: the names in order, or "Ninguno" alone; the item to
// select (the remembered name when it is still there, else the first group when nothing was
// remembered, else none) and whether "Miembros de" may be used.
struct FilterGroupList {
    QStringList names;
    int selected = -1;
    bool enabled = false;
};
FilterGroupList filterGroupList(const std::vector<Group> &groups, const QString &remembered);

// Asks a question with an input box: nothing on Cancel.
using AskText = std::function<std::optional<QString>(const QString &prompt, const QString &title,
                                                       const QString &defaultText)>;

// "Crear nuevo grupo": asks for a name until it is new or empty.
struct CreateGroupResult {
    enum class Status { Created, Cancelled, DatabaseError };
    Status status = Status::Cancelled;
    qint64 sid = 0;
    QString name;
    QString error;
    // Names refused as already taken, in the order asked (each told to the user as it happened).
    std::vector<QString> takenNames;
};
// `reportTaken` is told each name that already exists before the name is asked again.
CreateGroupResult createGroup(db::Connection &connection, const AskText &ask,
                               const std::function<void(const QString &)> &reportTaken);
// A group named `name` already exists (names compare without case).
bool groupExists(db::Connection &connection, const QString &name);

// deleteGroup(): deletes the group, first taking it out of every contact's list when the user
// confirms by typing "SI" (trimmed, any case). A group without members goes without a question.
struct DeleteGroupResult {
    enum class Status { Deleted, NotFound, Aborted, DatabaseError };
    Status status = Status::NotFound;
    QString name;
    qint64 unlinkedContacts = 0;   // contacts whose list changed
    QString error;
    bool deleted() const { return status == Status::Deleted; }
};
DeleteGroupResult deleteGroup(db::Connection &connection, qint64 sid, const AskText &ask);

// The texts of these rules, exactly as the users know them.
QString deleteGroupPrompt(const QString &name);
QString groupNameTakenMessage(const QString &name);
inline constexpr auto kConfirmGroupDeletionTitle = "Confirmar borrado de grupo";
inline constexpr auto kGroupDeletionAbortedMessage =
    "Se ha abortado la eliminación del grupo a petición suya. Si quiere borrarlo, repita el proceso y escriba SI";
inline constexpr auto kGroupDeletedMessage = "El grupo ha sido eliminado satisfactoriamente";
inline constexpr auto kGroupDeletedTitle = "Grupo eliminado";
inline constexpr auto kSelectGroupFirstMessage = "Seleccione primero un grupo";
// A popup item whose group has gone since the menu opened.
inline constexpr auto kGroupGoneMessage = "El grupo ya no está en la agenda. No se ha hecho nada.";
inline constexpr auto kNewGroupPrompt = "Introduzca el nombre identificador del nuevo grupo. (vacío = cancelar)";
inline constexpr auto kCreateGroupTitle = "Crear grupo";
inline constexpr auto kGroupCreationCancelledMessage = "Se ha cancelado la creación del grupo.";
inline constexpr auto kGroupCreationCancelledTitle = "Crear grupo cancelado";
inline constexpr auto kGroupNameErrorTitle = "Error nombre de grupo";
inline constexpr auto kGroupCreatedMessage = "El grupo ha sido creado.";
inline constexpr auto kNewGroupTitle = "Nuevo grupo";

} // namespace contacts
