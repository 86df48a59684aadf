#pragma once

#include "importexport/access/access_settings.h"
#include "importexport/access/pending_contacts.h"
#include "importexport/store/agenda_store.h"
#include "platform/db/connection.h"
#include "platform/mdb/access_file.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The Access import: the walk over another Access table that copies its contacts into `Agenda`.
// A run may stop at a phone that `Agenda` already holds with other data and go on once the user
// has decided. Whatever the run writes reaches `Agenda` in one transaction when the run ends, so
// a failure or an abandoned run leaves `Agenda` as it was, and a stop for the user's answer holds
// no lock on the database file. A run without questions writes straight into that transaction;
// from the first answer on, the writes are kept aside (PendingContacts) until the end, and each
// answer resumes the walk at the row that raised the question. The other table is read a window
// of rows at a time and is never held whole.
namespace importexport::access {

// The user's answer to a conflict (the duplicate-phone dialog's four flags).
struct Decision {
    bool overwriteOne = false;
    bool overwriteAll = false;
    bool ignoreOne = false;
    bool ignoreAll = false;
};

// One row of the other table as the contact it becomes. Texts are Null (invalid) where the row
// holds Null; "Vacio" gives the empty text. The birth date is "yyyy-MM-dd" or "" (not a date).
struct ImportedContact {
    QVariant name;
    QString phone;
    QVariant fullName;
    QVariant address;
    QVariant otherPhone;
    QVariant comment;
    QString birthDate;
    QString key;           // the row's key value as text
};

struct Conflict {
    ImportedContact imported;
    StoredContact stored;
    QString table;
    QString key;
    double count = 0;
};

enum class RunStatus { Finished, Conflict, Failed };

struct RunOutcome {
    RunStatus status = RunStatus::Finished;
    double count = 0;                  // contacts inserted plus overwritten
    int keyless = 0;                     // rows with a phone left out: a key the walk never reaches
    std::optional<Conflict> conflict;    // with RunStatus::Conflict
    QString message;                      // the Spanish text to show (final or failure)
};

// The final message of a finished run.
QString importedMessage(double imported);
// The line added to it for rows whose key the walk does not reach (Null, zero, negative, a date
// before 1899-12-31).
QString keylessMessage(int rows);

// The contact a row becomes under `mapping` (fieldNames are the other table's fields).
ImportedContact contactFromRow(const QVariantList &row, const QStringList &fieldNames, const Mapping &mapping);

// True when some pair of fields holds values on both sides that differ (Null decides nothing).
bool differs(const ImportedContact &imported, const ContactValues &stored);

// Where the other table's rows come from, in their stored order (counted from 0).
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual QString tableName() const = 0;
    virtual const std::vector<mdb::Column> &columns() const = 0;
    // Hands `visit` each row from the one at `from` on, until it returns false or the rows end.
    // False when the rows cannot be read.
    virtual bool scan(qint64 from, const std::function<bool(qint64 ordinal, const QVariantList &row)> &visit) = 0;
    // After a failed scan: whether the rows could not be read because the file is damaged.
    virtual bool damaged() const { return false; }
};

// A table already in memory.
class TableRows final : public RowSource {
public:
    explicit TableRows(mdb::Table table) : m_table(std::move(table)) {}
    QString tableName() const override { return m_table.name; }
    const std::vector<mdb::Column> &columns() const override { return m_table.columns; }
    bool scan(qint64 from, const std::function<bool(qint64, const QVariantList &)> &visit) override;

private:
    mdb::Table m_table;
};

// A table of an Access file, read row by row from its own opening of the file.
class FileRows final : public RowSource {
public:
    // Nothing when the file or the table cannot be opened.
    static std::unique_ptr<FileRows> open(const QString &path, const QString &table);
    QString tableName() const override { return m_scan.header().name; }
    const std::vector<mdb::Column> &columns() const override { return m_scan.header().columns; }
    bool scan(qint64 from, const std::function<bool(qint64, const QVariantList &)> &visit) override;
    bool damaged() const override { return m_scan.result().status == mdb::Status::Damaged; }

private:
    mdb::AccessFile m_file;
    mdb::TableScan m_scan;
};

class AccessImport final {
public:
    explicit AccessImport(db::Connection &connection) : m_connection(connection), m_pending(connection) {}

    // Starts a run over `table` from its first key (numeric keys from 1 on, as the first call of
    // the old procedure did).
    RunOutcome start(const mdb::Table &table, const Mapping &mapping);
    RunOutcome start(std::unique_ptr<RowSource> source, const Mapping &mapping);
    // Goes on from the row that raised the conflict, settled by `decision`.
    RunOutcome resume(const Decision &decision);
    bool waiting() const { return m_waiting; }
    // Forgets a run that waits for an answer; nothing of it is written.
    void abandon();

private:
    // Walks on from m_next; `answer` settles the row at m_next when it raises a conflict again.
    RunOutcome walk(const std::optional<Decision> &answer);
    bool readWindow(size_t first);
    RunOutcome finish();
    RunOutcome fail(const QString &message);
    RunOutcome readFailed();

    db::Connection &m_connection;
    PendingContacts m_pending;
    std::unique_ptr<RowSource> m_source;
    QStringList m_fieldNames;
    Mapping m_mapping;
    std::vector<qint64> m_order;          // the rows to walk (their stored positions), in key order
    std::vector<QVariantList> m_window;   // the rows of m_order from m_windowFirst on, as read
    size_t m_windowFirst = 0;
    size_t m_next = 0;                    // the place in m_order the walk goes on from
    size_t m_conflictPlace = 0;           // the place of the open question
    bool m_aside = false;                 // the run's writes go to m_pending (after a first answer)
    Decision m_standing;                  // an "all" answer given earlier in the run
    double m_imported = 0;
    int m_keyless = 0;                   // rows the key walk never reaches
    bool m_waiting = false;
};

} // namespace importexport::access
