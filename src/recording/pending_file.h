#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QFileDevice;

// The pending file beside the database: the charged rows the database would not take, one record
// a line, written at the next start.
namespace recording {

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
// The system's call behind it (files::syncDescriptor): 0 when the bytes are on the disk.
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

// The bytes above which the pending file is not read: it is a handful of lines.
inline constexpr qint64 kMaxPendingBytes = 16 * 1024 * 1024;

// Appends bytes that must survive a power cut once this returns true.
bool appendSynced(const QString &path, const QByteArray &bytes, const FileSync &sync);

// Names the file is moved to while a start takes it.
QString pendingTakeMarker();

} // namespace recording
