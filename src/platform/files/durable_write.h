#pragma once

#include <QByteArray>
#include <QString>

// Writing a whole file so that it is either there in full, on the disk, or not changed at all. Every
// call the system makes is checked: a write that stores fewer bytes than asked, a sync or a close that
// fails (a full disk, a quota, a removed medium) is seen, never taken for success, and the file that
// was there stays as it was.
namespace files {

// Writes `bytes` to a file of its own beside `path`, syncs it, reads it back, and only when it holds
// exactly `bytes` renames it over `path` and syncs the folder. Empty when done, else the system's
// reason in a few words, fit to follow a Spanish sentence ("No queda espacio en el dispositivo").
[[nodiscard]] QString writeDurably(const QString &path, const QByteArray &bytes);

// The names writeDurably() gives its files beside `path` while it writes: `path` followed by ".nuevo."
// and a suffix of the run's own. One left by a run that was ended half-way is of no use to anybody.
QString durableWritePrefix(const QString &path);

// Writes every byte to the open descriptor, going on after a short count; 0 when done, else the
// error number (a write that stores nothing more counts as a full disk).
int writeAll(int descriptor, const QByteArray &bytes);

// Puts the data of an open file on the disk; 0 when done, else the error number.
int syncDescriptor(int descriptor);

// Asks the system to put on disk the folder entries of the file's folder (new names, renames,
// removals), so that what was done there survives a power cut in the order it was done.
void syncFolderOf(const QString &file);

// The system's text for an error number, in the user's language where the system has it.
QString systemReason(int errorNumber);

} // namespace files
