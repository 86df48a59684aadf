#pragma once

#include "platform/db/connection.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Charged sends whose `Historial` row could not be written (another workstation holding the shared
// file, a database gone missing) wait in a small file beside the database, one record a line, and
// are written at the next start. A send is recorded once: a row already there is never added again.
namespace startup {

// One send as `Historial` keeps it.
struct SendRecord {
    QString username;
    QString recipients;
    QString sentAt;        // "yyyy-MM-dd HH:mm", local time of the reply
    QString scheduledAt;   // "Inmediato" or the local send time
    QString message;
    QString webId;         // the gateway's number for the send, as text
    QString state = QStringLiteral("0|0|0");
    QString sender;
    double credits = 0;
};

// "envios_pendientes.txt" in the folder of the database file at `databasePath`.
QString pendingSendsPath(const QString &databasePath);

// One line of the file (no line break): a JSON object, so any text of the send survives.
QByteArray pendingLine(const SendRecord &record);
// Nothing for a line that is not a whole record (cut short by a crash, edited by hand).
std::optional<SendRecord> parsePendingLine(QByteArrayView line);

// Appends the record and flushes it to disk; false when it could not be written whole.
bool appendPendingSend(const QString &file, const SendRecord &record);

// Whether this send is in `Historial` already: same gateway number, send time and recipients
// (never for a send without a number). Nothing when the database could not say.
std::optional<bool> sendRecorded(db::Connection &connection, const SendRecord &record);

// Inserts the row unless sendRecorded() finds it; `alreadyThere` tells which happened.
db::Result insertSendOnce(db::Connection &connection, const SendRecord &record, bool *alreadyThere = nullptr);

struct PendingWrite {
    enum class Status {
        Nothing,    // no file, or nothing in it
        Written,    // every readable record is in `Historial`; the file is gone (or keeps only
                    // lines that are not records, and lines added while this ran)
        Failed      // the database refused: the file stays as it was for the next start
    };
    Status status = Status::Nothing;
    int written = 0;        // rows inserted now
    int alreadyThere = 0;   // records that were recorded already
    int unreadable = 0;     // lines kept aside because they are not records
    QString error;
};

// The start-up step: every record of the file beside the open database into `Historial`, in one
// transaction; the file is removed only after the commit.
PendingWrite writePendingSends(db::Connection &connection);

} // namespace startup
