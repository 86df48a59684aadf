#pragma once

#include <QList>
#include <QString>

// The processes of this machine as the system lists them, and the file each was started from.
namespace files {

// The numbers of the running processes this program may see; empty where the system does not tell.
QList<qint64> processIds();

// The executable a process was started from, or empty when it cannot be read (gone, another user's,
// a kernel thread). A file replaced or removed since the start still gives its path as it was.
QString executableOf(qint64 pid);

} // namespace files
