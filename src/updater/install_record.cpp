#include "updater/install_record.h"

#include "brand/version_order.h"
#include "updater/replacement.h"
#include "updater/signature.h"

#include <QFile>
#include <QSaveFile>

namespace updater {
namespace {

// Replaces the record in one step, on disk before this returns. Empty when done, else the reason.
QString writeRecord(const QString &path, const QByteArray &bytes)
{
    // QSaveFile writes beside the record, syncs and only then renames over it.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("no se puede escribir %1: %2").arg(path, file.errorString());
    syncFolderOf(path);
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
    if (snapshot.existed)
        return writeRecord(path, snapshot.bytes);
    QFile file(path);
    if (file.exists() && !file.remove())
        return QStringLiteral("no se puede borrar %1: %2").arg(path, file.errorString());
    syncFolderOf(path);
    return {};
}

} // namespace updater
