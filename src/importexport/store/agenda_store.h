#pragma once

#include "platform/db/connection.h"
#include "platform/db/repeated_statements.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <optional>

// The contact table `Agenda` and the group table `Grupos` as the importers and exporters read and
// write them: look-ups by the stored phone and by all six text fields, insertions, overwrites and
// group lists, every value bound. A value given as an invalid QVariant is written as Null; texts
// are written as they are, the empty text included.
namespace importexport {

// The columns an importer writes. An invalid QVariant leaves the column Null.
struct ContactValues {
    QVariant name;
    QVariant phone;
    QVariant fullName;
    QVariant address;
    QVariant otherPhone;
    QVariant comment;
    QVariant birthDate;   // "yyyy-MM-dd" or Null
};

struct StoredContact {
    qint64 sid = 0;
    ContactValues values;    // as stored: an invalid QVariant where the column is Null
    QVariant groupSids;     // the comma-separated group sids, invalid when Null
};

// A text that is never bound as Null (Qt's null QString would be).
QString nonNullText(const QString &text);
// A value as a statement binds it: texts as texts even when empty; an invalid value stays Null.
QVariant boundValue(const QVariant &value);

// Runs `statement`, a look-up by phone prepared with the contact's columns first (sid, then the
// seven fields in ContactValues' order), for `phone`, and resets it at once: a statement left on
// a row would keep the file's read lock. Nothing when no row matched or the database refused
// (`result` tells which).
std::optional<StoredContact> firstContactWithPhone(db::Statement &statement, const QString &phone,
                                                   db::Result &result);
// Column `i` of a row as stored: an invalid QVariant where it is Null, else its text.
QVariant storedColumn(const db::Row &row, int i);

// True when some field but the phone holds values on both sides that differ; a Null (invalid)
// value on either side decides nothing.
bool valuesDiffer(const ContactValues &imported, const ContactValues &stored);

// Whether group `sid` is a whole element of a contact's comma-separated group list.
bool listHasGroup(const QString &list, const QString &sid);
// The list with `sid` added (db::idListWith); as it was when `sid` is no id.
QString listWithGroup(const QString &list, const QString &sid);

// The look-up and the writes an import repeats for every record are prepared once per store and
// kept: preparing them again for each of a hundred thousand records costs more than running them.
class AgendaStore final {
public:
    explicit AgendaStore(db::Connection &connection);
    AgendaStore(const AgendaStore &) = delete;
    AgendaStore &operator=(const AgendaStore &) = delete;

    // The first contact whose stored phone is exactly `phone`.
    std::optional<StoredContact> findByPhone(const QString &phone, db::Result *result = nullptr);
    bool phoneExists(const QString &phone, db::Result *result = nullptr);
    // A contact equal in all six text fields (the database's own comparison; Null matches nothing).
    bool sameContactExists(const ContactValues &values, db::Result *result = nullptr);

    // `groupSids` is written as given (invalid: Null, texts as texts); `sid` receives the new contact's key.
    db::Result insert(const ContactValues &values, const QVariant &groupSids = {}, qint64 *sid = nullptr);
    // Rewrites every column but the phone and the groups.
    db::Result overwrite(qint64 sid, const ContactValues &values);
    db::Result setGroups(qint64 sid, const QString &groupSids);

    // Group names in the order the table keeps them.
    QStringList groupNames(db::Result *result = nullptr);
    bool groupExists(const QString &name, db::Result *result = nullptr);
    std::optional<qint64> createGroup(const QString &name, db::Result *result = nullptr);
    std::optional<qint64> groupSid(const QString &name, db::Result *result = nullptr);

    db::Connection &connection() { return m_connection; }

private:
    enum Repeated { FindByPhone, Insert, Overwrite, SetGroups, kRepeated };

    db::Connection &m_connection;
    db::RepeatedStatements<kRepeated> m_repeated;
};

} // namespace importexport
