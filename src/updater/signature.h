#pragma once

#include "updater/release_statement.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// A new client is installed only when the maker signed it as a release of this client newer than
// the installed one. Each release file on the update root has its signed statement beside it
// (release_statement.h): the file's name followed by ".sig", holding the 64 raw bytes of the
// statement's detached Ed25519 signature followed by the statement itself. The maker's public key
// is built into the updater.
namespace updater {

// The public key this build checks releases against: 32 bytes, or empty for a build made without
// one, which never installs anything.
QByteArray releasePublicKey();

// A public key written as 64 hexadecimal digits; empty when the text is not one.
QByteArray publicKeyFromHex(QStringView hex);

// Where a file's signed statement is published and kept: the file's address or path followed by
// ".sig". The installed client's is kept beside it, to tell which release is installed.
QString signatureLocation(const QString &file);

// No signed statement is longer: the signature and the longest statement.
qsizetype signedStatementSizeLimit();

// The bytes of the signed statement file at `path`; nothing when it is missing, unreadable or longer
// than any signed statement.
std::optional<QByteArray> readSignedStatement(const QString &path);

// The statement of a signed statement made by the holder of `publicKey`; nothing for anything else.
std::optional<ReleaseStatement> verifiedStatement(const QByteArray &signedText, const QByteArray &publicKey);

struct ReleaseCheck {
    bool ok = false;
    QString message; // Spanish, for the user, when not ok
};

// Whether `program` may be installed over the client of `installedVersion`: `signedText` is the
// maker's statement (signed by the holder of `publicKey`) of a release of this product's client,
// newer than the installed one, whose bytes are exactly `program`; and `program` is an executable
// image of this platform (a signed script or document is refused all the same).
ReleaseCheck checkRelease(const QByteArray &program, const QByteArray &signedText, const QByteArray &publicKey,
                          const QString &installedVersion);

// The maker's statement of a release of this client; nothing when `signedText` is not signed by the
// holder of `publicKey`, or is about another product or program.
std::optional<ReleaseStatement> clientStatement(const QByteArray &signedText, const QByteArray &publicKey);

// The maker's statement of a release of this client held in the file at `path`; nothing when the file
// is missing, too long, not signed by the holder of `publicKey`, or about another product or program.
std::optional<ReleaseStatement> clientStatementIn(const QString &path, const QByteArray &publicKey);

// Whether the file at `path` holds exactly the bytes the statement describes (size and SHA-256).
bool describesFile(const ReleaseStatement &statement, const QString &path);

// The version of the client installed at `target`, the greatest of: the one its kept statement names
// when that statement is the maker's and describes the file there; the one the record of the newest
// release installed there names (install_record.h); the version this updater was built with.
QString installedVersion(const QString &target, const QByteArray &publicKey);

// The box of a build without a key, which refuses every update.
QString missingKeyMessage();

} // namespace updater
