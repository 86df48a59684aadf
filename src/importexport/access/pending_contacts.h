#pragma once

#include "importexport/store/agenda_store.h"
#include "platform/db/connection.h"
#include "platform/db/repeated_statements.h"

#include <QString>

#include <array>
#include <optional>

// What an Access import run will write to `Agenda`, kept aside until the run ends: new contacts
// and overwrites of stored ones, in a temporary table of the run's connection. Writing to it takes
// no lock on the database file, so a run can wait for the user's answer to a conflict with its
// work so far kept, and still leave `Agenda` as it was when it fails or is abandoned. The whole
// run reaches `Agenda` at once, in the caller's transaction.
namespace importexport::access {

class PendingContacts final {
public:
    explicit PendingContacts(db::Connection &connection);
    // What a run left aside goes with it (a window closed while its question was open).
    ~PendingContacts() { clear(); }
    PendingContacts(const PendingContacts &) = delete;
    PendingContacts &operator=(const PendingContacts &) = delete;

    // Empty, ready for a run (the table is made on first use).
    db::Result reset();
    // Forgets everything kept; nothing reaches `Agenda`.
    void clear();

    // The contact with exactly this phone as the run leaves it, when the run wrote one: its `sid`
    // is the stored contact's for an overwrite, 0 for a new contact.
    std::optional<StoredContact> find(const QString &phone, db::Result *result = nullptr);
    // A new contact.
    db::Result add(const ContactValues &values);
    // Every column but the phone and the groups of the contact with `values.phone`: a contact of
    // the run, or stored contact `sid` of `Agenda`.
    db::Result overwrite(qint64 sid, const ContactValues &values);

    // Writes the run into `Agenda`: new contacts in the order they came, then the overwrites.
    db::Result applyToBook();

private:
    enum Repeated { Find, Insert, Update, kRepeated };

    db::Connection &m_connection;
    db::RepeatedStatements<kRepeated> m_repeated;
    bool m_made = false;            // the table exists on this connection
};

} // namespace importexport::access
