#include "automation/file_taking.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

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

} // namespace

FileTake takeFile(const QString &file, const QString &separator, const QDateTime &now)
{
    FileTake take;
    take.copyPath = copyPathFor(file, now);

    const std::optional<QByteArray> bytes = readAll(file);
    if (!bytes) {
        take.status = TakeStatus::Unreadable;
        return take;
    }

    // The copy is written from the bytes read, so it records exactly what is sent.
    const bool hadCopy = QFileInfo::exists(take.copyPath);
    if (!writeCopy(take.copyPath, *bytes)) {
        take.status = TakeStatus::NotCopied;
        return take;
    }
    auto removeFreshCopy = [&] {
        // A copy of this minute's earlier batch is a record of sends made; only a fresh one goes.
        if (!hadCopy)
            QFile::remove(take.copyPath);
    };

    // The writing program may still be adding lines: they would go with the file unsent.
    if (readAll(file) != bytes) {
        removeFreshCopy();
        take.status = TakeStatus::BeingWritten;
        return take;
    }
    if (!QFile::remove(file)) {
        // Sending now would send these lines again at the next check.
        removeFreshCopy();
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
        return QStringLiteral("No se ha podido leer el archivo de envíos ") + file
               + QStringLiteral(". No se ha enviado nada.") + retryNote;
    case TakeStatus::NotCopied:
        return QStringLiteral("No se ha podido guardar la copia ") + take.copyPath + QStringLiteral(". El archivo ")
               + file + QStringLiteral(" se deja en su sitio y no se ha enviado nada.") + retryNote;
    case TakeStatus::BeingWritten:
        return QStringLiteral("El archivo ") + file
               + QStringLiteral(" ha cambiado mientras se leía. No se ha enviado nada.") + retryNote;
    case TakeStatus::NotDeleted:
        return QStringLiteral("No se ha podido borrar el archivo ") + file
               + QStringLiteral(" tras copiarlo. No se ha enviado nada, para no repetir los envíos.") + retryNote;
    }
    return {};
}

} // namespace automation
