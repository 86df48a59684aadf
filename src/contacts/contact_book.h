#pragma once

#include "contacts/keyed_pages.h"
#include "contacts/sql_condition.h"

#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>
#include <vector>

namespace db { class Connection; }

// The contact book (table Agenda) as the "Contactos" tab lists it: the rows of the current query,
// read once per reload, a page at a time, and the nodes each contact shows.
namespace contacts {

inline constexpr qint64 kContactsPerPage = 50;

struct Contact {
    qint64 sid = 0;
    QString name;
    QString phone;
    QString fullName;
    QString address;
    QString phone2;
    QString comment;
    QString birthDate;       // stored form (yyyy-MM-dd) or empty
    QString groupSids;
};

// The contact query in name order. A reload counts the rows for the pager; a page reads only its
// own rows, sorted by the database, so a large table is never held in memory to show 50 of it.
// Other workstations may change the contacts between two pages: a page is read from the keys of the
// page shown before (keyed_pages.h), and the whole list is read as it stands when asked for.
class ContactRecords final {
public:
    enum class Status { Ok, DatabaseError };

    // Runs the query again: every contact, or the rows matching `filter` when given. A failing
    // query (a comparison the database cannot make) leaves an empty list and says so.
    Status reload(db::Connection &connection, const std::optional<Condition> &filter);

    // The rows counted by the last reload (the pager's count).
    qint64 total() const { return m_total; }
    // The rows that match now; -1 on a database error.
    qint64 countNow() const;
    // Every row that matches now, in name order.
    std::vector<Contact> rows() const;
    // The same rows handed over one at a time, none of them kept. False on a database error.
    bool forEach(const std::function<void(const Contact &)> &visit) const;
    // The rows of page `page` (from 0), `pageSize` a page, found from the page read before.
    std::vector<Contact> page(qint64 page, qint64 pageSize = kContactsPerPage);
    QString error() const { return m_error; }

private:
    bool read(const Condition &key, bool backwards, qint64 limit, qint64 offset,
              const std::function<void(const Contact &)> &visit) const;

    db::Connection *m_connection = nullptr;
    Condition m_filter;
    qint64 m_total = 0;
    std::optional<PageAnchor> m_anchor;
    QString m_error;
};

// One node of the contacts tree.
struct ContactNode {
    QString key;              // clave_nodo
    QString parent;              // key of the parent node; empty for a contact
    QString text;
    int image = 0;             // 7 contact, 2 category and value, 0 none
};

// The nodes of one contact, parents before children: the contact, its phone pair, then the pairs
// of the filled-in optional fields (full name, address, other phone, comment, birth date).
std::vector<ContactNode> nodesOfContact(const Contact &contact);

// The nodes of a page; the single node "l0" "Sin contactos" for an empty list.
std::vector<ContactNode> pageNodes(const std::vector<Contact> &contactList);

// One contact by sid; nothing when it no longer exists (or the database failed).
std::optional<Contact> readContact(db::Connection &connection, qint64 sid);

// The contacts tab's delete statement: deletes the contact (its memberships go with it).
struct DeleteResult {
    enum class Status { Deleted, NotFound, DatabaseError };
    Status status = Status::Deleted;
    QString error;
    bool ok() const { return status == Status::Deleted; }
};
// NoExiste when no contact has that key (deleted meanwhile, from another window or workstation).
DeleteResult deleteContact(db::Connection &connection, qint64 sid);

// All contacts ("Borrar agenda"): every group, then every contact, together or not at all.
DeleteResult deleteWholeBook(db::Connection &connection);

inline constexpr auto kContactDeletedMessage = "El contacto ha sido eliminado de la agenda";
// A popup item whose contact has gone since the menu opened.
inline constexpr auto kContactGoneMessage = "El contacto ya no está en la agenda. No se ha hecho nada.";
inline constexpr auto kContactGoneTitle = "Agenda";
inline constexpr auto kDeleteContactTitle = "Eliminar contacto";
inline constexpr auto kBookDeletedMessage = "Ha sido eliminada toda la agenda correctamente.";
inline constexpr auto kBookDeletedTitle = "Agenda eliminada satisfactoriamente";

} // namespace contacts
