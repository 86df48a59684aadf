#pragma once

#include <QString>

namespace updater {

struct ReplaceResult {
    bool ok = false;
    QString message; // Spanish, for the user, when not ok
};

// Puts the downloaded file in the place of the installed client in one step, so that at every
// moment one whole client executable is there: the old one until the swap, the new one after it.
// The new file gets the old one's permissions, and may always be run by its owner.
ReplaceResult replaceExecutable(const QString &temporaryFile, const QString &target);

} // namespace updater
