#pragma once

#include <QString>

#include <chrono>

// Whether an installed client can run on this machine. Starting it is not proof: a client that
// lacks a shared library starts and ends at once. So it is run once with selfCheckArgument(), which
// makes it load everything it needs, reach the window system and end successfully at once.
namespace updater {

// "--self-check".
QString selfCheckArgument();

struct SelfCheckResult {
    bool ok = false;
    QString problem; // Spanish, fit to follow "no se ha podido iniciar", when not ok
};

// Runs `program` with selfCheckArgument() and, once it is running, waits up to `limit` for it to end
// with code 0; one that takes longer is ended and counts as failed.
SelfCheckResult runSelfCheck(const QString &program, std::chrono::milliseconds limit);

} // namespace updater
