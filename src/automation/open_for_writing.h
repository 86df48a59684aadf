#pragma once

#include <QString>

// Whether some program still holds a file open for writing. A program that opened the watched
// file before it was moved aside keeps writing into the moved file, whatever its name now is.
namespace automation {

// True while a process of this user has `path` open for writing or appending. Where the system
// does not tell (other users' processes, systems without /proc) it is false: there a file still
// held open for writing cannot be moved aside in the first place on Windows, and elsewhere the
// size read back after reading is the only sign.
bool heldOpenForWriting(const QString &path);

} // namespace automation
