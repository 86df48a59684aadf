#include "database/writable.h"

#include "platform/db/connection.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>

namespace database {

namespace {

// The pending-sends file and the engine's journal are created beside the database. A folder on
// a full disk refuses a new file for want of room, not of permission.
Writability folderWritability(const QString &databasePath)
{
    QTemporaryFile probe(QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral(".escritura-XXXXXX")));
    errno = 0;
    if (probe.open())
        return Writability::Writable;
    return errno == ENOSPC || errno == EDQUOT ? Writability::DiskFull : Writability::FolderReadOnly;
}

// A change to page 1 (the schema version set to what it is) makes the engine open its journal
// and write the page's old content into it; the rollback undoes it and removes the journal again.
Writability engineWritability(db::Connection &connection)
{
    db::Transaction probe(connection);
    if (!probe.isActive())
        return probe.beginResult().status == db::Status::Busy ? Writability::Writable : Writability::FolderReadOnly;
    db::Result r;
    const qint64 version = connection.scalar(QStringLiteral("PRAGMA user_version"), {}, &r).toLongLong();
    if (r.ok())
        r = connection.executeScript(QStringLiteral("PRAGMA user_version=%1").arg(version));
    switch (r.status) {
    case db::Status::Ok:
    case db::Status::Busy:
        return Writability::Writable;
    case db::Status::DiskFull:
        return Writability::DiskFull;
    default:
        return Writability::FolderReadOnly;
    }
}

} // namespace

Writability databaseWritability(db::Connection &connection)
{
    if (connection.isReadOnly())
        return Writability::FileReadOnly;
    if (const Writability folder = folderWritability(connection.path()); folder != Writability::Writable)
        return folder;
    return engineWritability(connection);
}

} // namespace database
