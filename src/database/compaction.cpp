#include "database/compaction.h"

#include <QFile>

namespace database {

namespace {

QString copyName(const QString &path, const QString &suffix)
{
    if (!path.contains(QLatin1String(".mdb"), Qt::CaseSensitive))
        return {};
    QString copy = path;
    return copy.replace(QLatin1String(".mdb"), suffix, Qt::CaseSensitive);
}

CompactionResult failed(const QString &error) { return {CompactionStatus::Failed, error}; }

} // namespace

QString compactionCopyPath(const QString &path) { return copyName(path, QStringLiteral("_copia.mdb")); }

QString keptCopyPath(const QString &path) { return copyName(path, QStringLiteral("_copia2.mdb")); }

CompactionResult compactDatabase(db::Connection &connection)
{
    const QString path = connection.path();
    const QString copy = compactionCopyPath(path);
    const QString keptCopy = keptCopyPath(path);
    if (!connection.isOpen() || copy.isEmpty())
        return {CompactionStatus::Skipped, {}};

    if (QFile::exists(copy)) {
        if (QFile::exists(keptCopy) && !QFile::remove(keptCopy))
            return failed(QStringLiteral("cannot remove ") + keptCopy);
        if (!QFile::rename(copy, keptCopy))
            return failed(QStringLiteral("cannot rename ") + copy);
        return {CompactionStatus::LeftoverKept, {}};
    }

    const db::Result r = connection.executeScript(QStringLiteral("VACUUM"));
    if (!r.ok())
        return failed(r.error);
    return {CompactionStatus::Compacted, {}};
}

} // namespace database
