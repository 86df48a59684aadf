#include "automation/settings_rules.h"

#include "startup/brand.h"

#include <QDir>

#include <algorithm>

namespace automation {
namespace {

qsizetype ultimoSeparador(const QString &ruta)
{
    return std::max(ruta.lastIndexOf(QLatin1Char('/')), ruta.lastIndexOf(QDir::separator()));
}

} // namespace

QStringList minutosOfrecidos()
{
    return {QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("15"), QStringLiteral("30"),
            QStringLiteral("60")};
}

QString rutaPorDefecto()
{
    return QDir::toNativeSeparators(QDir::rootPath() + QStringLiteral("Enviar_SMS.txt"));
}

bool tieneExtension(const QString &ruta)
{
    return ruta.indexOf(QLatin1Char('.'), ultimoSeparador(ruta) + 1) >= 0;
}

QString rutaDeCarpeta(const QString &carpeta)
{
    QString ruta = QDir::toNativeSeparators(carpeta);
    if (!ruta.endsWith(QDir::separator()))
        ruta += QDir::separator();
    return ruta;
}

QString rutaDeArchivo(const QString &carpeta, const QString &nombre)
{
    return rutaDeCarpeta(carpeta) + nombre;
}

QString conSeparadoresNativos(const QString &ruta)
{
    return QDir::toNativeSeparators(ruta);
}

bool delimitadorValido(const QString &delimitador)
{
    return !delimitador.isEmpty() && delimitador.size() <= 5 && delimitador != QLatin1String(",");
}

QString conMarca(const QString &texto)
{
    QString result = texto;
    return result.replace(QStringLiteral("Brisanta"), brand::nombre_marca());
}

} // namespace automation
