#pragma once

#include "contacts/picker/contact_condition.h"
#include "contacts/keyed_pages.h"
#include "contacts/picker/contact_nodes.h"
#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The membership of one group (the group administration window, "Administrar grupo"): the contact book filtered and paged
// with each contact marked as in the group or not, the group's members, and the changes, which
// touch only `Agenda.grupos_sid` and are computed here, never by text arithmetic in SQL.
namespace contacts::groups {

inline constexpr qint64 kContactPageSize = 100;
inline constexpr qint64 kMemberPageSize = 50;

// The filter row of the window.
struct AdminFilter {
    int operatorIndex = 0;           // the operator combo
    int fieldIndex = 0;              // the field combo
    QString words;           // the words box
    bool byGroup = false;      // the group check: members of another group too
    QString group;              // the group combo's text
    bool notIncludedOnly = false;   // the "Mostrar no incluidos"
};

struct AdminCondition {
    std::optional<Condition> where;     // empty when it could not be built (see error)
    QString error;
};

// The contact book's condition for the administered group `group`.
AdminCondition contactListCondition(db::Connection &connection, qint64 group, const AdminFilter &filter);

struct ListPage {
    bool ok = true;
    QString error;
    picker::PageBar pageBar;
    std::vector<picker::Node> nodes;
    qint64 rows = 0;
    std::optional<PageAnchor> anchor;     // this page, for the next one to be read from
};

// The contact book at `position` (brought back to the last page when the list got shorter), by
// name; members of `group` carry image 2, the others image 1. `shown` is the page shown before:
// the page is read on from its contacts (keyed_pages.h).
ListPage contactPage(db::Connection &connection, qint64 group, const Condition &where, qint64 position,
                     const std::optional<PageAnchor> &shown = std::nullopt);

// The group's members at `position`, 50 a page in the order they were created, read on from the
// page `shown` before.
ListPage memberPage(db::Connection &connection, qint64 group, qint64 position,
                    const std::optional<PageAnchor> &shown = std::nullopt);

// The names of the other groups, by name.
QStringList otherGroups(db::Connection &connection, qint64 group, db::Result *result = nullptr);

// Whether the contact belongs to the group; nothing when the contact is gone or on a failed read.
std::optional<bool> contactInGroup(db::Connection &connection, qint64 group, qint64 contact);

enum class ChangeOutcome { Done, Unchanged, ContactGone, GroupGone, Error };

struct ChangeResult {
    ChangeOutcome status = ChangeOutcome::Done;
    qint64 changedContacts = 0;   // contacts whose list changed
    QString error;
};

// "Agregar contacto al grupo".
ChangeResult addContact(db::Connection &connection, qint64 group, qint64 contact);
// "Quitar contacto del grupo".
ChangeResult removeContact(db::Connection &connection, qint64 group, qint64 contact);
// "Añadir toda la lista": every contact that `where` selects (all pages) joins the group, in one
// transaction; SinCambios when all of them already belong to it.
ChangeResult addWholeList(db::Connection &connection, qint64 group, const Condition &where);

} // namespace contacts::groups
