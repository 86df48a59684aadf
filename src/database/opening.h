#pragma once

#include "database/compaction.h"
#include "database/upgrade.h"
#include "platform/db/connection.h"
#include "recording/pending_write.h"

#include <QString>

namespace ui {
class BusyCursor;
class Prompter;
}

// The opening of the database at start-up: the local file (created when missing), the choice of
// a shared file kept in Usuario.ruta_bbdd, the compaction and the upgrade steps.
namespace database {

enum class OpeningStatus {
    Ok,        // the connection is open on the active database file
    Failed     // nothing usable: show `message` and end the program; no file was changed
};

struct OpeningResult {
    OpeningStatus status = OpeningStatus::Failed;
    QString activeDatabasePath;    // the file the connection has open
    QString captionSuffix;       // " - RED", " - LOCAL" or empty: the window appends it to its caption
    QString message;             // for the user, when the opening failed
    bool created = false;        // the local file was missing and has been created
    bool restoredCopy = false;   // the local file was missing and its "_copia.mdb" took its place
    CompactionResult compaction;
    UpgradeResult upgrade;
    MigrationResult migration;
    recording::PendingWrite pending;        // charged sends kept beside the database, written now
    bool ok() const { return status == OpeningStatus::Ok; }
};

// The local database file in the program folder.
QString localDatabasePath(const QString &programFolder);

// The shared path configured in the account row, or empty when the local file is meant (no row,
// a value of 5 characters or fewer, or the local file itself under another spelling).
QString configuredSharedPath(db::Connection &connection, const QString &localPath);

// The texts start-up shows about the shared file.
QString restoredCopyTitle();
QString restoredCopyMessage(const QString &path);
// A database file that may be written in a folder that may not.
QString unwritableFolderMessage(const QString &path);
// A database on a disk with no room left.
QString fullDiskMessage(const QString &path);
QString sharedFileErrorTitle();
QString sharedFileUnreachableMessage();
QString sharedFileMissingMessage(const QString &path);
QString autoConfigTitle();
QString autoConfigQuestion();

OpeningResult openDatabase(db::Connection &connection, const QString &programFolder, ui::Prompter &prompter,
                           ui::BusyCursor *busy = nullptr);

} // namespace database
