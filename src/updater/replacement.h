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

// Where the installed client is kept while its successor proves it starts: the target followed by
// ".old".
QString previousPath(const QString &target);

// Keeps a copy of the installed client at previousPath() (a second name for the same file where
// the file system allows it, so nothing is copied); the client itself stays in place. False when
// there is no installed client file or no copy could be made.
bool keepPrevious(const QString &target);

// Puts the kept client back in the target's place in one step.
ReplaceResult restorePrevious(const QString &target);

// Whether the two paths hold the same client: one file under two names, or two identical files.
bool sameContent(const QString &first, const QString &second);

// Moves a file over another in one step; the system's reason when it could not, else empty.
QString moveOver(const QString &from, const QString &to);

} // namespace updater
