#include "startup/database/compaction.h"

#include <QFile>

namespace startup {

namespace {

QString copyName(const QString &ruta, const QString &suffix)
{
    if (!ruta.contains(QLatin1String(".mdb"), Qt::CaseSensitive))
        return {};
    QString copy = ruta;
    return copy.replace(QLatin1String(".mdb"), suffix, Qt::CaseSensitive);
}

CompactionResult failed(const QString &error) { return {CompactionStatus::Failed, error}; }

} // namespace

QString rutaCopia(const QString &ruta) { return copyName(ruta, QStringLiteral("_copia.mdb")); }

QString rutaCopia2(const QString &ruta) { return copyName(ruta, QStringLiteral("_copia2.mdb")); }

CompactionResult Compactar_Base(db::Connection &conexion)
{
    const QString ruta = conexion.path();
    const QString copia = rutaCopia(ruta);
    const QString copia2 = rutaCopia2(ruta);
    if (!conexion.isOpen() || copia.isEmpty())
        return {CompactionStatus::Skipped, {}};

    if (QFile::exists(copia)) {
        if (QFile::exists(copia2) && !QFile::remove(copia2))
            return failed(QStringLiteral("cannot remove ") + copia2);
        if (!QFile::rename(copia, copia2))
            return failed(QStringLiteral("cannot rename ") + copia);
        return {CompactionStatus::LeftoverKept, {}};
    }

    const db::Result r = conexion.executeScript(QStringLiteral("VACUUM"));
    if (!r.ok())
        return failed(r.error);
    return {CompactionStatus::Compacted, {}};
}

} // namespace startup
