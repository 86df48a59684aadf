#pragma once

#include <QFile>
#include <QString>

// How a newly installed client tells the updater that it really started, and that it ended normally. Before it starts the new
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

// The client's executable followed by ".running". The updater leaves it with the start marker and
// keeps the previous client for a while after the new one's window is up: a new client that ends in
// that time without removing this file has crashed, and the previous one is put back.
inline QString runMarkerPath(const QString &clientExecutable)
{
    return clientExecutable + QStringLiteral(".running");
}

// Called when the client ends normally (its event loop returned); does nothing when there is no marker.
inline void confirmEndedNormally(const QString &clientExecutable)
{
    QFile::remove(runMarkerPath(clientExecutable));
}

} // namespace brand
