#pragma once

#include "platform/db/connection.h"

#include <QString>

// The start-up step that writes the records the pending file beside the database still holds.
namespace recording {

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

} // namespace recording
