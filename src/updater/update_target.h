#pragma once

#include <QString>

// Where the new client comes from and where it goes. Everything is built from the updater's own
// literals; only the platform's program-file rule is shared with the client.
namespace updater {

// The product word the updater carries itself.
QString productWord();

// "Brisanta Desktop Auto-Update".
QString windowCaption();

// The client's executable file name: "Brisanta" here, "Brisanta.exe" on Windows.
QString clientFileName();

// The gateway's web root without a trailing "/": BRISANTA_UPDATE_ROOT when set, else the plain
// http address of the gateway host the build was made for.
QString webRoot();

// The web root, "/extranet/Descargas/" and the client's file name.
QString downloadUrl(const QString &root);
QString downloadUrl();

// The installed client: the client's file name in the given program folder.
QString targetPath(const QString &programFolder);

// The downloads land beside the target first, under names that start with the target path followed
// by ".tmp".
QString temporaryPath(const QString &target);
// The download of one run: temporaryPath() followed by "." and the run's own id, so that no run
// ever writes or removes the file of another.
QString temporaryPath(const QString &target, const QString &run);
// An id no other run of the updater has: the process number and a random part.
QString newRunId();

} // namespace updater
