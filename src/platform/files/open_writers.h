#pragma once

#include "platform/files/file_state.h"

#include <QString>

#include <functional>

// Whether some program still holds a file open for writing. A program that opened a file before
// it was moved aside keeps writing into it, whatever it is called now, and a program may reach
// the file by any name: a second name, another mount of the folder. So the file is known by its
// device and inode, never by its path text.
namespace files {

// True while a process this program may look into holds the file open for writing or appending.
// Where the system does not tell (other users' processes, programs on other machines writing
// through a share, systems without /proc) it is false: the quiet period of RestWatch is what
// waits for those.
bool heldOpenForWriting(const FileState &file);
bool heldOpenForWriting(const QString &path);

// The check as a value, so a take can be given another one.
using WriterCheck = std::function<bool(const QString &path)>;

} // namespace files
