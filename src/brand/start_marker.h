#pragma once

#include <QString>

// How a newly installed client tells the updater that it really started. Before it starts the new
// client the updater leaves an empty file beside it; the client removes that file once its start-up
// has gone through and its window is up. A client that runs only far enough for its self-check never
// gets there, and the updater then puts the previous one back.
namespace brand {

// The client's executable followed by ".starting".
QString startMarkerPath(const QString &clientExecutable);

// Removes the marker beside `clientExecutable` when there is one; does nothing otherwise.
void confirmStarted(const QString &clientExecutable);

} // namespace brand
