#pragma once

#include "platform/db/connection.h"
#include "platform/files/shared_take.h"
#include "recording/pending_file.h"

#include <QString>

#include <chrono>

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
    bool fileKept = false;  // written, but what was written could not be noted in the file: its
                            // records are known as written and never written again
    bool takenByOther = false;  // written, and another workstation's start took the file meanwhile
    bool moreWaiting = false;   // more than a start reads at once: the rest waits for the next
    bool leftOverTooLarge = false;  // a file an earlier start kept is over kMaxPendingBytes: not read
    QString file;
    QString error;
};

// How a start takes the file: the system's clock and writer check unless a test gives its own.
struct PendingTakeOptions {
    files::WriterCheck writers;
    files::SharedTake::WallClock clock;
    std::chrono::milliseconds longRest = files::kLongRest;
    qint64 budget = kMaxPendingBytes;   // the most a start reads of all the files together
};

// Every record of the file beside the open database into `Historial`, each marked as written in
// the same transaction. The file is first moved to a name of this start's own (a send appending
// meanwhile makes a new file, left for the next start) and read with whatever earlier starts kept
// under such names. It is kept after the commit, its name saying how far it was written: a writer
// that opened it before the move may still write into it. A later start writes what arrived since
// and removes it once it has rested long (files::kLongRest) with no writer seen.
PendingWrite writePendingSends(db::Connection &connection, const PendingTakeOptions &how = {});

// What the user is told at start-up about the file, in one message; empty when there is nothing
// to say.
QString pendingWriteReport(const PendingWrite &write);
QString pendingWriteTitle();

} // namespace recording
