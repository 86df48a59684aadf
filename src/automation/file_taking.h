#pragma once

#include "automation/watched_file.h"
#include "platform/files/open_writers.h"
#include "platform/files/rest_watch.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// Taking the watched file, which other programs write and other workstations with the same
// settings take too: move it aside under a name of this take's own without replacing anything,
// read it once it has rested (no writer this program can see holds it, and it has looked the
// same for the quiet period), keep the time-stamped copy beside it, delete it. A program that
// opens the watched name after the move creates a new file, taken at a later check, so no line
// written after the read can be deleted. The lines belong to the take whose removal of its own
// name succeeds: another workstation that moved the file on meanwhile sends them instead.
// Whatever goes wrong, the moved file stays under its name, nothing of it is queued, and the
// next check (here or on another workstation) takes it first.
namespace automation {

enum class TakeStatus {
    Taken,          // read, copied and deleted: the entries may be queued
    Unreadable,     // could not be moved aside or read (locked, not a file)
    NotCopied,      // the copy could not be written
    BeingWritten,   // another program still writes into the moved file: it waits for the next check
    NotDeleted,     // copied but could not be deleted
    Resting,        // moved aside, read once it has looked the same for the quiet period (`wait`)
    Gone            // another workstation took the file first: nothing to do here
};

struct FileTake {
    TakeStatus status = TakeStatus::Unreadable;
    FileReading reading;     // filled when Taken
    QString copyPath;        // the copy's path
    QString takenPath;       // the name the file was moved to
    bool leftOver = false;   // an earlier take had already moved it aside
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

    // Takes a file moved aside by an earlier take when there is one (the watched file then waits
    // for the next check), else the watched file.
    FileTake take(const QString &file, const QString &separator, const QDateTime &now);

    files::RestWatch &restWatch() { return m_rest; }
    void setWriterCheck(files::WriterCheck check);
    // How the moved file is deleted once copied (QFile::remove unless told otherwise); false when
    // it could not be.
    void setRemover(std::function<bool(const QString &path)> remove);

private:
    struct Look {
        bool held = false;   // a writer this program can see holds it
        files::FileState state;
    };
    QString ownFile(const QString &file, FileTake &take);
    // Nothing, with the take marked Gone, when another workstation has moved the file on.
    std::optional<Look> lookAt(const QString &own, FileTake &take);

    files::RestWatch m_rest;
    files::WriterCheck m_writers;
    std::function<bool(const QString &)> m_remove;
    QString m_current;   // the file this taker moved aside and has not finished with
    QString m_currentBase;   // ... and the take names it was moved under
};

// The error log's text for a failed take (without time stamp or line end); empty for Taken and
// for the takes that are no failure (Resting, Gone).
QString takeErrorText(const FileTake &take, const QString &file);

} // namespace automation
