#pragma once

#include "automation/watched_file.h"

#include <QDateTime>
#include <QString>

// Taking the watched file: read it, keep the time-stamped copy beside it, delete it. The file is
// deleted only once what was read is safely copied and is all the file holds; on any failure it
// stays where it is, nothing is queued, and the next check tries again.
namespace automation {

enum class TakeStatus {
    Tomado,        // read, copied and deleted: the entries may be queued
    NoLegible,     // could not be opened or read (still being written, locked, not a file)
    NoArchivado,   // the copy could not be written
    EnEscritura,   // the file changed while it was being taken
    NoBorrado      // copied but could not be deleted
};

struct Toma {
    TakeStatus estado = TakeStatus::NoLegible;
    Lectura lectura;     // filled when Taken
    QString archivado;   // the copy's path
};

Toma tomarArchivo(const QString &file, const QString &separator, const QDateTime &now);

// The error log's text for a failed take (without time stamp or line end); empty for Taken.
QString textoToma(const Toma &take, const QString &file);

} // namespace automation
