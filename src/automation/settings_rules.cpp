#include "automation/settings_rules.h"

#include "startup/brand.h"

#include <QDir>

#include <algorithm>

namespace automation {
namespace {

qsizetype lastSeparator(const QString &path)
{
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
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

bool tieneExtension(const QString &path)
{
    return path.indexOf(QLatin1Char('.'), lastSeparator(path) + 1) >= 0;
}

QString rutaDeCarpeta(const QString &folder)
{
    QString path = QDir::toNativeSeparators(folder);
    if (!path.endsWith(QDir::separator()))
        path += QDir::separator();
    return path;
}

QString rutaDeArchivo(const QString &folder, const QString &name)
{
    return rutaDeCarpeta(folder) + name;
}

QString conSeparadoresNativos(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool delimitadorValido(const QString &separator)
{
    return !separator.isEmpty() && separator.size() <= 5 && separator != QLatin1String(",");
}

QString conMarca(const QString &text)
{
    QString result = text;
    return result.replace(QStringLiteral("Brisanta"), brand::nombre_marca());
}

} // namespace automation
