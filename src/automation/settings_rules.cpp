#include "automation/settings_rules.h"

#include "brand/brand.h"

#include <QDir>

#include <algorithm>

namespace automation {
namespace {

qsizetype lastSeparator(const QString &path)
{
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
}

} // namespace

QStringList offeredIntervals()
{
    return {QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("15"), QStringLiteral("30"),
            QStringLiteral("60")};
}

QString defaultWatchedPath()
{
    return QDir::toNativeSeparators(QDir::rootPath() + QStringLiteral("Enviar_SMS.txt"));
}

bool hasExtension(const QString &path)
{
    return path.indexOf(QLatin1Char('.'), lastSeparator(path) + 1) >= 0;
}

QString pathForFolder(const QString &folder)
{
    QString path = QDir::toNativeSeparators(folder);
    if (!path.endsWith(QDir::separator()))
        path += QDir::separator();
    return path;
}

QString pathForFile(const QString &folder, const QString &name)
{
    return pathForFolder(folder) + name;
}

QString withNativeSeparators(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool isValidSeparator(const QString &separator)
{
    return !separator.isEmpty() && separator.size() <= 5 && separator != QLatin1String(",");
}

QString withBrandName(const QString &text)
{
    QString result = text;
    return result.replace(QStringLiteral("Brisanta"), brand::brandName());
}

} // namespace automation
