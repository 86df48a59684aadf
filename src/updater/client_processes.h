#pragma once

#include <QList>
#include <QString>

#include <chrono>

// The running clients, found by the file they were started from. Names are no good here: Linux
// cuts a process name to 15 characters, and a program of the same name may live in another folder.
namespace updater {

// The processes whose executable is the given file (also when that file has since been replaced
// or deleted), never the calling process itself. Empty when processes cannot be listed.
QList<qint64> clientProcesses(const QString &executablePath);

// Asks every such process to end, waits up to `grace` for it, then forces those still running and
// waits again as long. Returns how many are known to have ended. Problems are not reported: the
// update goes on in any case.
int endClientProcesses(const QString &executablePath,
                       std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

} // namespace updater
