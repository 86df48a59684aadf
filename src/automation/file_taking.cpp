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

Toma tomarArchivo(const QString &file, const QString &separator, const QDateTime &now)
{
    Toma take;
    take.archivado = rutaArchivado(file, now);

    const std::optional<QByteArray> bytes = readAll(file);
    if (!bytes) {
        take.estado = TakeStatus::NoLegible;
        return take;
    }

    // The copy is written from the bytes read, so it records exactly what is sent.
    const bool hadCopy = QFileInfo::exists(take.archivado);
    if (!writeCopy(take.archivado, *bytes)) {
        take.estado = TakeStatus::NoArchivado;
        return take;
    }
    auto removeFreshCopy = [&] {
        // A copy of this minute's earlier batch is a record of sends made; only a fresh one goes.
        if (!hadCopy)
            QFile::remove(take.archivado);
    };

    // The writing program may still be adding lines: they would go with the file unsent.
    if (readAll(file) != bytes) {
        removeFreshCopy();
        take.estado = TakeStatus::EnEscritura;
        return take;
    }
    if (!QFile::remove(file)) {
        // Sending now would send these lines again at the next check.
        removeFreshCopy();
        take.estado = TakeStatus::NoBorrado;
        return take;
    }

    take.lectura = agruparPorMensaje(lineasDelArchivo(*bytes), separator);
    take.estado = TakeStatus::Tomado;
    return take;
}

QString textoToma(const Toma &take, const QString &file)
{
    const QString retryNote = QStringLiteral(" Se volverá a intentar en la próxima comprobación.");
    switch (take.estado) {
    case TakeStatus::Tomado:
        return {};
    case TakeStatus::NoLegible:
        return QStringLiteral("No se ha podido leer el archivo de envíos ") + file
               + QStringLiteral(". No se ha enviado nada.") + retryNote;
    case TakeStatus::NoArchivado:
        return QStringLiteral("No se ha podido guardar la copia ") + take.archivado + QStringLiteral(". El archivo ")
               + file + QStringLiteral(" se deja en su sitio y no se ha enviado nada.") + retryNote;
    case TakeStatus::EnEscritura:
        return QStringLiteral("El archivo ") + file
               + QStringLiteral(" ha cambiado mientras se leía. No se ha enviado nada.") + retryNote;
    case TakeStatus::NoBorrado:
        return QStringLiteral("No se ha podido borrar el archivo ") + file
               + QStringLiteral(" tras copiarlo. No se ha enviado nada, para no repetir los envíos.") + retryNote;
    }
    return {};
}

} // namespace automation
