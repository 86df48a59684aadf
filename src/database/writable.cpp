#include "database/writable.h"

#include "platform/db/connection.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace database {

namespace {

// The pending-sends file and the engine's journal are created beside the database.
bool folderTakesNewFiles(const QString &databasePath)
{
    QTemporaryFile probe(QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral(".escritura-XXXXXX")));
    return probe.open();
}

// A change to page 1 (the schema version set to what it is) makes the engine open its journal;
// the rollback undoes it and removes the journal again.
bool engineCanWrite(db::Connection &connection)
{
    db::Transaction probe(connection);
    if (!probe.isActive())
        return probe.beginResult().status == db::Status::Busy;
    db::Result r;
    const qint64 version = connection.scalar(QStringLiteral("PRAGMA user_version"), {}, &r).toLongLong();
    if (r.ok())
        r = connection.executeScript(QStringLiteral("PRAGMA user_version=%1").arg(version));
    return r.ok() || r.status == db::Status::Busy;
}

} // namespace

Writability databaseWritability(db::Connection &connection)
{
    if (connection.isReadOnly())
        return Writability::FileReadOnly;
    if (!folderTakesNewFiles(connection.path()) || !engineCanWrite(connection))
        return Writability::FolderReadOnly;
    return Writability::Writable;
}

} // namespace database
