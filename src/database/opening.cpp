#include "database/opening.h"

#include "brand/brand.h"
#include "database/schema.h"
#include "database/writable.h"
#include "platform/files/file_state.h"
#include "platform/ui/prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace database {

namespace {

QString desktop() { return brand::brandName() + QStringLiteral(" Desktop"); }

// Two paths of one file, whatever names or mounts lead to it: the same device and inode.
bool sameFile(const QString &a, const QString &b)
{
    const std::optional<files::FileState> fa = files::fileState(a);
    const std::optional<files::FileState> fb = files::fileState(b);
    if (fa && fb)
        return fa->sameFile(*fb);
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

QString refusal(const db::Result &r, const QString &path)
{
    switch (r.status) {
    case db::Status::Busy:
        return QStringLiteral("La base de datos ") + path
            + QStringLiteral(" está bloqueada por otro programa. Ciérrelo y abra ") + desktop()
            + QStringLiteral(" de nuevo.");
    case db::Status::WrongKeyOrNotADatabase:
    case db::Status::Ok:
        return QStringLiteral("No se puede abrir la base de datos ") + path
            + QStringLiteral(": el archivo está dañado, no es una base de datos de ") + desktop()
            + QStringLiteral(" o tiene otra contraseña. El archivo no se ha modificado. Consérvelo y avise a su "
                             "proveedor; ")
            + desktop() + QStringLiteral(" se cerrará.");
    case db::Status::DiskFull:
        return fullDiskMessage(path);
    default:
        return QStringLiteral("No se puede abrir ni crear la base de datos ") + path
            + QStringLiteral(". Compruebe que la carpeta del programa existe y que tiene permiso de escritura; ")
            + desktop() + QStringLiteral(" se cerrará.");
    }
}

OpeningResult failure(const db::Result &r, const QString &path)
{
    OpeningResult result;
    result.status = OpeningStatus::Failed;
    result.activeDatabasePath = path;
    result.message = refusal(r, path);
    return result;
}

// The database in use must take the rows of the sends it is about to charge: one the user may
// only read, or whose folder cannot take its journal and the pending-sends file, is refused
// before anything is sent. The connection is closed then.
bool refuseUnwritable(db::Connection &connection, OpeningResult &result)
{
    const Writability writability = databaseWritability(connection);
    if (writability == Writability::Writable)
        return false;
    connection.close();
    const QString path = result.activeDatabasePath;
    result = failure({db::Status::Error, QStringLiteral("read-only")}, path);
    if (writability == Writability::FolderReadOnly)
        result.message = unwritableFolderMessage(path);
    else if (writability == Writability::DiskFull)
        result.message = fullDiskMessage(path);
    return true;
}

// Opens a file that must already be ours; on any doubt the connection stays closed and the file
// untouched.
db::Result openExisting(db::Connection &connection, const QString &path)
{
    db::Result r = connection.open(path, db::OpenMode::ExistingOnly);
    if (r.ok() && !isClientDatabase(connection)) {
        connection.close();
        r = {db::Status::WrongKeyOrNotADatabase, QStringLiteral("no client tables")};
    }
    return r;
}

// The local file, created with every table when it is missing (it stands in for the file
// delivered with the program). Only a file created by this very call is ever removed again.
OpeningResult openLocal(db::Connection &connection, const QString &localPath)
{
    OpeningResult result;
    result.activeDatabasePath = localPath;
    const QString copy = compactionCopyPath(localPath);
    if (!QFileInfo::exists(localPath) && !copy.isEmpty() && QFileInfo::exists(copy)
        && openExisting(connection, copy).ok()) {
        // The file is gone and a compaction copy is there: an earlier client was stopped between
        // deleting the file and renaming its copy. That copy is the user's database.
        connection.close();
        if (QFile::rename(copy, localPath))
            result.restoredCopy = true;
    }
    if (QFileInfo::exists(localPath)) {
        const db::Result r = openExisting(connection, localPath);
        if (!r.ok())
            return failure(r, localPath);
    } else {
        db::Result r = connection.open(localPath, db::OpenMode::CreateIfMissing);
        if (r.ok())
            r = createSchema(connection);
        if (!r.ok()) {
            connection.close();
            QFile::remove(localPath);
            return failure(r, localPath);
        }
        result.created = true;
    }
    result.status = OpeningStatus::Ok;
    return result;
}

void chooseSharedFile(db::Connection &connection, const QString &localPath, const QString &sharedPath,
                      ui::Prompter &prompter, OpeningResult &result)
{
    if (QFileInfo::exists(sharedPath)) {
        connection.close();
        if (openExisting(connection, sharedPath).ok()) {
            result.activeDatabasePath = sharedPath;
            result.captionSuffix = QStringLiteral(" - RED");
            return;
        }
        prompter.message(sharedFileUnreachableMessage(), sharedFileErrorTitle(), ui::Icon::Critical);
        result.captionSuffix = QStringLiteral(" - LOCAL");
        const db::Result again = openExisting(connection, localPath);
        if (!again.ok())
            result = failure(again, localPath);
        return;
    }

    prompter.message(sharedFileMissingMessage(sharedPath), sharedFileErrorTitle(), ui::Icon::Critical);
    const ui::Answer answer = prompter.message(autoConfigQuestion(), autoConfigTitle(),
                                               ui::Icon::None, ui::Buttons::OkCancel);
    // A choice the database would not keep leaves the setting on the shared file: this session
    // works locally as after Cancel, and the next start asks again.
    if (answer != ui::Answer::Ok
        || !connection.execute(QStringLiteral("UPDATE Usuario SET ruta_bbdd=?1"), {localPath}).ok())
        result.captionSuffix = QStringLiteral(" - LOCAL");
}

} // namespace

QString localDatabasePath(const QString &programFolder) { return QDir(programFolder).filePath(QStringLiteral("bbdd.mdb")); }

QString configuredSharedPath(db::Connection &connection, const QString &localPath)
{
    const QString path = connection.scalar(QStringLiteral("SELECT ruta_bbdd FROM Usuario ORDER BY sid LIMIT 1")).toString();
    if (path.size() <= 5 || sameFile(path, localPath))
        return {};
    return path;
}

QString restoredCopyTitle() { return QStringLiteral("Base de datos recuperada"); }

QString restoredCopyMessage(const QString &path)
{
    return QStringLiteral("No se ha encontrado la base de datos ") + path
        + QStringLiteral(", pero sí la copia que dejó una compactación interrumpida. Se ha recuperado esa copia como "
                         "base de datos, con todos sus datos.");
}

QString unwritableFolderMessage(const QString &path)
{
    return QStringLiteral("No se puede escribir en la carpeta ")
        + QDir::toNativeSeparators(QFileInfo(path).absolutePath()) + QStringLiteral(" de la base de datos ") + path
        + QStringLiteral(". La base de datos necesita poder crear en esa carpeta su diario de cambios y el archivo de "
                         "envíos pendientes: compruebe que tiene permiso de escritura en ella; ")
        + desktop() + QStringLiteral(" se cerrará.");
}

QString fullDiskMessage(const QString &path)
{
    return QStringLiteral("El disco de la base de datos ") + path
        + QStringLiteral(" está lleno: no queda sitio para su diario de cambios ni para el archivo de envíos "
                         "pendientes. Libere espacio en ese disco y abra ")
        + desktop() + QStringLiteral(" de nuevo; ") + desktop() + QStringLiteral(" se cerrará.");
}

QString sharedFileErrorTitle() { return QStringLiteral("Error conexión en red"); }

QString sharedFileUnreachableMessage()
{
    return desktop()
        + QStringLiteral(" no ha podido conectarse la base de datos en red, y trabajará en red local. Si no es lo que "
                         "desea, por favor cierre ")
        + desktop() + QStringLiteral(" y abralo de nuevo. Gracias.");
}

QString sharedFileMissingMessage(const QString &path)
{
    return desktop() + QStringLiteral(" no ha podido conectarse la base de datos en red (") + path
        + QStringLiteral("), y trabajará en red local. Si no es lo que desea, por favor cierre ") + desktop()
        + QStringLiteral(" y abralo de nuevo. Gracias.");
}

QString autoConfigTitle() { return QStringLiteral("Configuracion automatica"); }

QString autoConfigQuestion()
{
    return QStringLiteral("Si desea configurar ") + desktop()
        + QStringLiteral(" para que siempre trabaje en local y desaparezca este error al iniciar, pulse Aceptar. Si por "
                         "el contrario desea seguir con la configuracion de trabajo en red, pulse Cancelar.");
}

OpeningResult openDatabase(db::Connection &connection, const QString &programFolder, ui::Prompter &prompter,
                           ui::BusyCursor *busy)
{
    const QString localPath = localDatabasePath(programFolder);
    OpeningResult result = openLocal(connection, localPath);
    if (!result.ok())
        return result;

    if (result.restoredCopy)
        prompter.message(restoredCopyMessage(localPath), restoredCopyTitle(), ui::Icon::Information);

    const QString sharedPath = configuredSharedPath(connection, localPath);
    if (!sharedPath.isEmpty()) {
        chooseSharedFile(connection, localPath, sharedPath, prompter, result);
        if (!result.ok())
            return result;
    }
    if (refuseUnwritable(connection, result))
        return result;

    result.compaction = compactDatabase(connection);
    result.upgrade = upgradeSchema(connection);
    result.migration = migrateGroups(connection, prompter, busy);
    // After the upgrade, so the rows find every column they carry.
    result.pending = recording::writePendingSends(connection);
    if (const QString report = recording::pendingWriteReport(result.pending); !report.isEmpty())
        prompter.message(report, recording::pendingWriteTitle(),
                         result.pending.status == recording::PendingWrite::Status::Failed ? ui::Icon::Warning : ui::Icon::Information);
    return result;
}

} // namespace database
