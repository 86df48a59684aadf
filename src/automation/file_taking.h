#pragma once

#include "automation/watched_file.h"

#include <QDateTime>
#include <QString>

// Taking the watched file: move it aside under a private name, read what was moved once no other
// program has it open for writing, keep the time-stamped copy beside it, delete it. A program
// that opens the watched name after the move creates a new file, taken at a later check, so no
// line written after the read can be deleted. Whatever goes wrong, the moved file stays under
// its private name, nothing of it is queued, and the next check takes it first.
namespace automation {

enum class TakeStatus {
    Taken,          // read, copied and deleted: the entries may be queued
    Unreadable,     // could not be moved aside or read (locked, not a file)
    NotCopied,      // the copy could not be written
    BeingWritten,   // another program still writes into the moved file: it waits for the next check
    NotDeleted      // copied but could not be deleted
};

struct FileTake {
    TakeStatus status = TakeStatus::Unreadable;
    FileReading reading;     // filled when Taken
    QString copyPath;        // the copy's path
    QString takenPath;       // the private name the file was moved to
    bool leftOver = false;   // an earlier take had already moved it aside
};

// The private name of a watched file while it is taken: beside it, so moving it is one rename.
QString takingPathFor(const QString &file);

// Whether a check has something to take: the watched file, or one an earlier take moved aside.
bool hasFileToTake(const QString &file);

// Takes the file moved aside by an earlier take when there is one (the watched file then waits
// for the next check), else the watched file.
FileTake takeFile(const QString &file, const QString &separator, const QDateTime &now);

// The error log's text for a failed take (without time stamp or line end); empty for Taken.
QString takeErrorText(const FileTake &take, const QString &file);

} // namespace automation
