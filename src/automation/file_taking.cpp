#include "automation/file_taking.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace automation {
namespace {

std::optional<QByteArray> leerTodo(const QString &ruta)
{
    QFile file(ruta);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool escribirCopia(const QString &ruta, const QByteArray &bytes)
{
    QSaveFile copia(ruta);
    if (!copia.open(QIODevice::WriteOnly))
        return false;
    if (copia.write(bytes) != bytes.size()) {
        copia.cancelWriting();
        return false;
    }
    return copia.commit();
}

} // namespace

Toma tomarArchivo(const QString &archivo, const QString &delimitador, const QDateTime &ahora)
{
    Toma toma;
    toma.archivado = rutaArchivado(archivo, ahora);

    const std::optional<QByteArray> bytes = leerTodo(archivo);
    if (!bytes) {
        toma.estado = TomaEstado::NoLegible;
        return toma;
    }

    // The copy is written from the bytes read, so it records exactly what is sent.
    const bool habiaCopia = QFileInfo::exists(toma.archivado);
    if (!escribirCopia(toma.archivado, *bytes)) {
        toma.estado = TomaEstado::NoArchivado;
        return toma;
    }
    auto retirarCopia = [&] {
        // A copy of this minute's earlier batch is a record of sends made; only a fresh one goes.
        if (!habiaCopia)
            QFile::remove(toma.archivado);
    };

    // The writing program may still be adding lines: they would go with the file unsent.
    if (leerTodo(archivo) != bytes) {
        retirarCopia();
        toma.estado = TomaEstado::EnEscritura;
        return toma;
    }
    if (!QFile::remove(archivo)) {
        // Sending now would send these lines again at the next check.
        retirarCopia();
        toma.estado = TomaEstado::NoBorrado;
        return toma;
    }

    toma.lectura = agruparPorMensaje(lineasDelArchivo(*bytes), delimitador);
    toma.estado = TomaEstado::Tomado;
    return toma;
}

QString textoToma(const Toma &toma, const QString &archivo)
{
    const QString reintento = QStringLiteral(" Se volverá a intentar en la próxima comprobación.");
    switch (toma.estado) {
    case TomaEstado::Tomado:
        return {};
    case TomaEstado::NoLegible:
        return QStringLiteral("No se ha podido leer el archivo de envíos ") + archivo
               + QStringLiteral(". No se ha enviado nada.") + reintento;
    case TomaEstado::NoArchivado:
        return QStringLiteral("No se ha podido guardar la copia ") + toma.archivado + QStringLiteral(". El archivo ")
               + archivo + QStringLiteral(" se deja en su sitio y no se ha enviado nada.") + reintento;
    case TomaEstado::EnEscritura:
        return QStringLiteral("El archivo ") + archivo
               + QStringLiteral(" ha cambiado mientras se leía. No se ha enviado nada.") + reintento;
    case TomaEstado::NoBorrado:
        return QStringLiteral("No se ha podido borrar el archivo ") + archivo
               + QStringLiteral(" tras copiarlo. No se ha enviado nada, para no repetir los envíos.") + reintento;
    }
    return {};
}

} // namespace automation
