#pragma once

#include <QByteArray>
#include <QString>

// The simulator's release key: an Ed25519 key pair made from a fixed seed, so the files it serves
// carry signatures that tests (and a demo build given the public half) can check. It signs nothing
// real: its secret half is written in this source.
namespace sim {

// The 32-byte public key.
QByteArray testReleasePublicKey();

// The 64-byte detached signature of `bytes` made with the test key.
QByteArray signWithTestKey(const QByteArray &bytes);

// What the download folder serves at a file's name followed by ".sig": the test key's signature of
// the release statement of `bytes` published as `fileName` in `version` of the product "Brisanta",
// followed by that statement (five lines "key=value": producto, archivo, version, bytes, sha256).
QByteArray signedReleaseStatement(const QString &fileName, const QString &version, const QByteArray &bytes);

// The release the version reply offers to the updater: its first part, without HTML tags or blanks.
QString offeredVersion(const QString &versionText);

} // namespace sim
