#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// A new client is installed only when the maker signed it. Each release file on the update root has
// its detached Ed25519 signature beside it: the file's name followed by ".sig", holding the 64 raw
// bytes of the signature. The maker's public key is built into the updater.
namespace updater {

// The public key this build checks releases against: 32 bytes, or empty for a build made without
// one, which never installs anything.
QByteArray releasePublicKey();

// A public key written as 64 hexadecimal digits; empty when the text is not one.
QByteArray publicKeyFromHex(QStringView hex);

// Where a file's signature is published and kept: the file's address or path followed by ".sig".
QString signatureLocation(const QString &file);

struct ReleaseCheck {
    bool ok = false;
    QString message; // Spanish, for the user, when not ok
};

// Whether `program` may be installed: signed by the holder of `publicKey` with `signature`, and an
// executable image of this platform (a signed script or document is refused all the same).
ReleaseCheck checkRelease(const QByteArray &program, const QByteArray &signature, const QByteArray &publicKey);

// The box of a build without a key, which refuses every update.
QString missingKeyMessage();

} // namespace updater
