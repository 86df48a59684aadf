#include "updater/install_record.h"

#include "brand/version_order.h"
#include "platform/files/durable_write.h"
#include "updater/replacement.h"
#include "updater/signature.h"

#include <QFile>

namespace updater {
namespace {

// Replaces the record in one step, on disk before this returns. Empty when done, else the reason.
// Every write, sync and close is checked and the new record read back before it replaces the old:
// a record that is not on the disk is never reported as written.
QString writeRecord(const QString &path, const QByteArray &bytes)
{
    const QString problem = files::writeDurably(path, bytes);
    if (!problem.isEmpty())
        return QStringLiteral("no se puede escribir %1: %2").arg(path, problem);
    return {};
}

} // namespace

QString installRecordPath(const QString &target)
{
    return target + QStringLiteral(".highest.sig");
}

QString recordInstalled(const QString &target, const QByteArray &signedText, const QByteArray &publicKey)
{
    const std::optional<ReleaseStatement> statement = clientStatement(signedText, publicKey);
    if (!statement)
        return QStringLiteral("la firma de la versión nueva no es válida");
    const QString path = installRecordPath(target);
    const std::optional<ReleaseStatement> recorded = clientStatementIn(path, publicKey);
    if (recorded && !brand::isNewer(statement->version, recorded->version))
        return {};
    return writeRecord(path, signedText);
}

RecordSnapshot currentRecord(const QString &target)
{
    const std::optional<QByteArray> bytes = readSignedStatement(installRecordPath(target));
    if (!bytes)
        return {};
    return {true, *bytes};
}

QString putBackRecord(const QString &target, const RecordSnapshot &snapshot)
{
    const QString path = installRecordPath(target);
    // A record that was never raised (its writing failed) needs nothing, and a full disk no write.
    if (snapshot.existed && readSignedStatement(path) == snapshot.bytes)
        return {};
    if (snapshot.existed)
        return writeRecord(path, snapshot.bytes);
    QFile file(path);
    if (file.exists() && !file.remove())
        return QStringLiteral("no se puede borrar %1: %2").arg(path, file.errorString());
    files::syncFolderOf(path);
    return {};
}

QString settleRecord(const QString &target, const QByteArray &publicKey)
{
    const QString kept = signatureLocation(target);
    const std::optional<QByteArray> bytes = readSignedStatement(kept);
    const std::optional<ReleaseStatement> statement = bytes ? clientStatement(*bytes, publicKey) : std::nullopt;
    if (!statement || !describesFile(*statement, target))
        return putBackRecord(target, {});
    if (readSignedStatement(installRecordPath(target)) == bytes)
        return {};
    return writeRecord(installRecordPath(target), *bytes);
}

} // namespace updater
