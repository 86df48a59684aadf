#pragma once

#include "automation/watched_file.h"

#include <QDateTime>
#include <QString>

// Taking the watched file: read it, keep the time-stamped copy beside it, delete it. The file is
// deleted only once what was read is safely copied and is all the file holds; on any failure it
// stays where it is, nothing is queued, and the next check tries again.
namespace automation {

enum class TakeStatus {
    Taken,        // read, copied and deleted: the entries may be queued
    Unreadable,     // could not be opened or read (still being written, locked, not a file)
    NotCopied,   // the copy could not be written
    BeingWritten,   // the file changed while it was being taken
    NotDeleted      // copied but could not be deleted
};

struct FileTake {
    TakeStatus status = TakeStatus::Unreadable;
    FileReading reading;     // filled when Taken
    QString copyPath;   // the copy's path
};

FileTake takeFile(const QString &file, const QString &separator, const QDateTime &now);

// The error log's text for a failed take (without time stamp or line end); empty for Taken.
QString takeErrorText(const FileTake &take, const QString &file);

} // namespace automation
