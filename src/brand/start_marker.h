#pragma once

#include <QFile>
#include <QString>

// How a newly installed client tells the updater that it really started. Before it starts the new
// client the updater leaves an empty file beside it; the client removes that file once its start-up
// has gone through and its window is up. A client that runs only far enough for its self-check never
// gets there, and the updater then puts the previous one back.
namespace brand {

// The client's executable followed by ".starting".
inline QString startMarkerPath(const QString &clientExecutable)
{
    return clientExecutable + QStringLiteral(".starting");
}

// Removes the marker beside `clientExecutable` when there is one; does nothing otherwise.
inline void confirmStarted(const QString &clientExecutable)
{
    // Removing a marker that is not there does nothing.
    QFile::remove(startMarkerPath(clientExecutable));
}

} // namespace brand
