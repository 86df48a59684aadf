#pragma once

#include "platform/db/connection.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QFileDevice;

// Every charged row (a send, a birthday greeting) reaches `Historial` the same way: a transaction
// tried again while another workstation holds the shared file, and when every try fails, a small
// file beside the database, one record a line, written at the next start. A row is recorded once:
// one already there is never added again, and a record of the file that has been written is
// never written a second time, whatever its gateway number.
namespace startup {

// One charged row as `Historial` keeps it.
struct SendRecord {
    QString username;
    QString recipients;
    QString sentAt;        // "yyyy-MM-dd HH:mm", local time of the reply
    QString scheduledAt;   // "Inmediato" or the send time
    QString message;
    QString webId;         // the gateway's number for the send, as text
    QString state = QStringLiteral("0|0|0");
    QString sender;
    double credits = 0;
    bool birthday = false; // a birthday greeting (`bool_cumple` '1')
    // What tells this record apart in the pending file; given when it is first written there.
    QString recordId;
    // The key (`sid`) a try whose commit reported failure gave the row; 0: none. Such a commit
    // may have landed all the same: the row is then found by this key, with or without a
    // gateway number, and never written a second time.
    qint64 triedKey = 0;
};

// "envios_pendientes.txt" in the folder of the database file at `databasePath`.
QString pendingSendsPath(const QString &databasePath);
// Where lines of that file that are not records are set aside for a person to look at.
QString setAsidePath(const QString &databasePath);

// One line of the file (no line break): a JSON object, so any text of the row survives.
QByteArray pendingLine(const SendRecord &record);
// Nothing for a line that is not a whole record (cut short by a crash, edited by hand). A line
// written before records carried their own id gets one made from its bytes.
std::optional<SendRecord> parsePendingLine(QByteArrayView line);

// Pushes what was written to the file down to the disk; false when the system says it could not.
using FileSync = std::function<bool(QFileDevice &)>;
bool syncToDisk(QFileDevice &file);
// The system's call behind it (fsync; _commit on Windows): 0 when the bytes are on the disk.
using OsSync = int (*)(int handle);
OsSync platformSync();
// syncToDisk() through `osSync`, which gets the file's own handle: a test sees the call made, or
// has it refused.
bool syncThrough(QFileDevice &file, OsSync osSync);

// Appends the records, each on a line of its own (a last line cut short stays apart), in one
// write, and syncs them; false when they could not be written whole and synced. Records without
// an id get one.
bool appendPendingRecords(const QString &file, QList<SendRecord> records, const FileSync &sync = syncToDisk);
inline bool appendPendingSend(const QString &file, const SendRecord &record)
{
    return appendPendingRecords(file, {record});
}

// The records of the file as it is now and of the files a start has taken and not yet done with
// (unreadable lines skipped), for readers that must count what waits there; nothing when there is
// no file or it cannot be read.
QList<SendRecord> readPendingRecords(const QString &file);

// Whether this row is in `Historial` already: under the key a failed-looking try gave it, or with
// the same gateway number, send time and recipients (a row without either is never found).
// Nothing when the database could not say.
std::optional<bool> sendRecorded(db::Connection &connection, const SendRecord &record);

// Inserts the row unless sendRecorded() finds it; `alreadyThere` tells which happened.
db::Result insertSendOnce(db::Connection &connection, const SendRecord &record, bool *alreadyThere = nullptr);

// --- recording charged rows ---------------------------------------------------------------------

enum class RecordStatus {
    Recorded,   // the rows are in `Historial` (or nothing needed recording)
    Pending,    // the database refused every try: the rows wait in the pending file
    Lost        // neither the database nor the pending file took them
};

struct RecordOutcome {
    RecordStatus status = RecordStatus::Recorded;
    db::Result result;          // the database's last answer
    bool ok() const { return status == RecordStatus::Recorded; }
};

inline constexpr int kSaveAttempts = 2;

// Writes the rows in one transaction, all or none, tried `attempts` times (each waits the
// connection's busy time-out); `alongside` runs inside each try after the rows, for what goes
// with them (its failure must not cost the rows, so it undoes itself). A try whose commit
// reported failure is only repeated after looking for each row. When every try fails the rows
// not found go to the pending file beside the database, each with the key it was last given.
RecordOutcome recordCharged(db::Connection &connection, const QList<SendRecord> &rows, int attempts = kSaveAttempts,
                            const std::function<void()> &alongside = {});

// --- the start-up step ------------------------------------------------------------------------

struct PendingWrite {
    enum class Status {
        Nothing,    // no file, or nothing in it
        Written,    // every readable record is in `Historial`
        Failed      // nothing written: the file stays as it was for the next start (`reason`)
    };
    enum class Reason {
        None,
        Busy,           // another workstation held the database
        DatabaseError,  // the database refused otherwise
        TooLarge,       // the file is over kMaxPendingBytes: not read
        CannotRead      // the file could not be opened (permissions, held by another program)
    };
    Status status = Status::Nothing;
    Reason reason = Reason::None;
    int written = 0;        // rows inserted now
    int alreadyThere = 0;   // records that were recorded already
    int waiting = 0;        // records left for the next start (Failed)
    int unreadable = 0;     // lines that are not records
    bool setAside = false;  // ... moved to setAsidePath(); false: they stay in the file
    bool incompleteTail = false;  // a last line without its end stays in the file
    bool fileKept = false;  // written, but the file could not be emptied: its records are known
                            // as written and never written again
    QString file;
    QString error;
};

// The bytes above which the pending file is not read: it is a handful of lines.
inline constexpr qint64 kMaxPendingBytes = 16 * 1024 * 1024;

// Every record of the file beside the open database into `Historial`, in one transaction, each
// marked as written in the same transaction. The file is first moved to a name of this start's
// own (a send appending meanwhile makes a new file, left for the next start), read with whatever
// an interrupted start left under such names, and removed only after the commit, once no writer
// holds it and it is as it was read; otherwise it stays for the next start.
PendingWrite writePendingSends(db::Connection &connection);

// What the user is told at start-up about the file, in one message; empty when there is nothing
// to say.
QString pendingWriteReport(const PendingWrite &write);
QString pendingWriteTitle();

} // namespace startup
