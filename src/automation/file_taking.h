#pragma once

#include "automation/watched_file.h"
#include "platform/files/open_writers.h"
#include "platform/files/rest_watch.h"
#include "platform/files/shared_take.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <utility>

// Taking the watched file, which other programs write and other workstations with the same
// settings take too, by the shared take (platform/files/shared_take.h): moved aside under a name
// of this take's own without replacing anything, read once it has rested for the quiet period
// (no writer this program can see holds it, and it has looked the same that long), a bounded
// piece of whole lines at a time. What is read is appended to the time-stamped copy beside it and
// recorded in the moved file's name before it is queued; the lines belong to the take whose
// record succeeds, so another workstation that moved the file on meanwhile sends them instead.
// The moved file is kept: a program that opened it before the move may still write into it, and
// what it writes is taken at a later check. It is removed at a later check, once all of it is
// handled and it has rested long (files::kLongRest) with no writer seen. Whatever goes wrong, the
// moved file stays under its name, nothing of it is queued, and the next check takes it first.
namespace automation {

enum class TakeStatus {
    Taken,          // a piece of whole lines read and copied: the entries may be queued
    Unreadable,     // could not be moved aside or read (locked, not a file)
    NotCopied,      // the copy could not be written
    BeingWritten,   // another program still writes into the moved file: it waits for the next check
    NotRecorded,    // copied, but what was read could not be noted in the moved file's name
    LineTooLong,    // a line longer than kMaxLineBytes: the file is left as it is for a person
    Resting,        // moved aside, read once it has looked the same for the quiet period (`wait`)
    Kept,           // nothing new: kept until it has rested long, then removed at a later check
    Gone            // nothing to take (another workstation took the file first)
};

// The most a check reads of the watched file: what it queues at once stays small enough to handle
// in a moment on the window's thread. A line must fit in it.
inline constexpr qint64 kMaxLineBytes = 256 * 1024;

struct FileTake {
    TakeStatus status = TakeStatus::Unreadable;
    FileReading reading;     // filled when Taken
    QString copyPath;        // the copy's path
    QString takenPath;       // the name the file was moved to
    bool leftOver = false;   // an earlier take had already moved it aside
    bool more = false;       // Taken: more whole lines may wait after this piece
    std::chrono::milliseconds wait{0};   // Resting: how long until it may have rested
};

// The name earlier releases moved a taken file to; one left there is taken first, like any
// other take's leftover.
QString takingPathFor(const QString &file);

// Whether a check has something to take: the watched file, or one an earlier take moved aside.
bool hasFileToTake(const QString &file);

// Takes the watched file check after check, remembering between checks how each moved file
// looked, so a file that must rest is waited for without blocking.
class FileTaker final {
public:
    FileTaker();

    // Takes one piece: from a file an earlier take moved aside when one has lines to read, else
    // from the watched file.
    FileTake take(const QString &file, const QString &separator, const QDateTime &now);

    files::RestWatch &restWatch() { return m_rest; }
    void setWriterCheck(files::WriterCheck check) { m_writers = std::move(check); }
    // The wall clock the long rest is measured by, and its length; tests set their own.
    void setClock(files::SharedTake::WallClock clock) { m_clock = std::move(clock); }
    void setLongRest(std::chrono::milliseconds rest) { m_longRest = rest; }

private:
    files::RestWatch m_rest;
    files::WriterCheck m_writers;
    files::SharedTake::WallClock m_clock;
    std::chrono::milliseconds m_longRest = files::kLongRest;
};

// The error log's text for a failed take (without time stamp or line end); empty for Taken and
// for the takes that are no failure (Resting, Gone).
QString takeErrorText(const FileTake &take, const QString &file);

} // namespace automation
