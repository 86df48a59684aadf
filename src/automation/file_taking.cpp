#include "automation/file_taking.h"

#include "automation/open_for_writing.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>
#include <optional>
#include <system_error>

namespace automation {
namespace {

std::optional<QByteArray> readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool writeCopy(const QString &path, const QByteArray &bytes)
{
    QSaveFile copy(path);
    if (!copy.open(QIODevice::WriteOnly))
        return false;
    if (copy.write(bytes) != bytes.size()) {
        copy.cancelWriting();
        return false;
    }
    return copy.commit();
}

// One rename, never a copy and a delete: a copy would leave the same gap between reading and
// deleting that moving the file aside closes.
bool moveAside(const QString &file, const QString &takenPath)
{
    const QFileInfo info(file);
    if (!info.isFile())
        return false;
    std::error_code error;
    std::filesystem::rename(info.filesystemAbsoluteFilePath(), QFileInfo(takenPath).filesystemAbsoluteFilePath(),
                            error);
    return !error;
}

} // namespace

QString takingPathFor(const QString &file)
{
    return QFileInfo(file).absoluteFilePath() + QStringLiteral(".en_envio");
}

bool hasFileToTake(const QString &file)
{
    return !file.isEmpty() && (QFileInfo::exists(file) || QFileInfo::exists(takingPathFor(file)));
}

FileTake takeFile(const QString &file, const QString &separator, const QDateTime &now)
{
    FileTake take;
    take.copyPath = copyPathFor(file, now);
    take.takenPath = takingPathFor(file);

    // A file left aside by an earlier take goes first: it holds older lines, and its name is
    // needed for the next move.
    take.leftOver = QFileInfo::exists(take.takenPath);
    if (!take.leftOver && !moveAside(file, take.takenPath)) {
        take.status = TakeStatus::Unreadable;
        return take;
    }

    // A program that opened the file before the move writes on into it until it closes it.
    if (heldOpenForWriting(take.takenPath)) {
        take.status = TakeStatus::BeingWritten;
        return take;
    }
    const std::optional<QByteArray> bytes = readAll(take.takenPath);
    if (!bytes) {
        take.status = TakeStatus::Unreadable;
        return take;
    }
    // Opened just before the move and written since: read it whole at the next check.
    if (heldOpenForWriting(take.takenPath) || QFileInfo(take.takenPath).size() != bytes->size()) {
        take.status = TakeStatus::BeingWritten;
        return take;
    }

    // The copy is written from the bytes read, so it records exactly what is sent.
    const bool hadCopy = QFileInfo::exists(take.copyPath);
    if (!writeCopy(take.copyPath, *bytes)) {
        take.status = TakeStatus::NotCopied;
        return take;
    }
    if (!QFile::remove(take.takenPath)) {
        // Sending now would send these lines again at the next check. A copy of this minute's
        // earlier batch is a record of sends made; only a fresh one goes.
        if (!hadCopy)
            QFile::remove(take.copyPath);
        take.status = TakeStatus::NotDeleted;
        return take;
    }

    take.reading = groupByMessage(fileLines(*bytes), separator);
    take.status = TakeStatus::Taken;
    return take;
}

QString takeErrorText(const FileTake &take, const QString &file)
{
    const QString retryNote = QStringLiteral(" Se volverá a intentar en la próxima comprobación.");
    switch (take.status) {
    case TakeStatus::Taken:
        return {};
    case TakeStatus::Unreadable:
        return QStringLiteral("No se ha podido leer el archivo de envíos ")
               + (take.leftOver ? take.takenPath : file) + QStringLiteral(". No se ha enviado nada.") + retryNote;
    case TakeStatus::NotCopied:
        return QStringLiteral("No se ha podido guardar la copia ") + take.copyPath + QStringLiteral(". El archivo ")
               + file + QStringLiteral(" se deja apartado como ") + take.takenPath
               + QStringLiteral(" y no se ha enviado nada.") + retryNote;
    case TakeStatus::BeingWritten:
        return QStringLiteral("Otro programa sigue escribiendo en el archivo ") + file
               + QStringLiteral(", apartado como ") + take.takenPath + QStringLiteral(". No se ha enviado nada todavía.")
               + retryNote;
    case TakeStatus::NotDeleted:
        return QStringLiteral("No se ha podido borrar el archivo ") + take.takenPath
               + QStringLiteral(" tras copiarlo. No se ha enviado nada, para no repetir los envíos.") + retryNote;
    }
    return {};
}

} // namespace automation
