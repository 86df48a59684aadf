#include "updater/leftovers.h"

#include "platform/files/durable_write.h"
#include "updater/install_record.h"
#include "updater/signature.h"
#include "updater/update_target.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace updater {
namespace {

// The files of the target's folder whose names start with `prefix`'s file name.
QStringList filesStartingWith(const QString &prefix)
{
    const QFileInfo info(prefix);
    const QDir folder = info.absoluteDir();
    QStringList found;
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (name.startsWith(info.fileName()))
            found.append(folder.filePath(name));
    }
    return found;
}

} // namespace

QStringList leftoverDownloads(const QString &target)
{
    QStringList downloads;
    const QString signatureEnd = signatureLocation(QString());
    for (const QString &path : filesStartingWith(temporaryPath(target))) {
        if (!path.endsWith(signatureEnd))
            downloads.append(path);
    }
    return downloads;
}

QStringList leftoverStatements(const QString &target)
{
    QStringList statements;
    const QString signatureEnd = signatureLocation(QString());
    for (const QString &path : filesStartingWith(temporaryPath(target))) {
        if (path.endsWith(signatureEnd))
            statements.append(path);
    }
    return statements;
}

void removeLeftovers(const QString &target, const QString &keep)
{
    QStringList doomed = filesStartingWith(temporaryPath(target));
    doomed += filesStartingWith(files::durableWritePrefix(installRecordPath(target)));
    bool removed = false;
    for (const QString &path : std::as_const(doomed)) {
        if (!keep.isEmpty() && (path == keep || path == signatureLocation(keep)))
            continue;
        removed = QFile::remove(path) || removed;
    }
    if (removed)
        files::syncFolderOf(target);
}

} // namespace updater
