#include "updater/update_target.h"

#include "brand/brand.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>

namespace updater {

QString productWord()
{
    return QStringLiteral("Brisanta");
}

QString windowCaption()
{
    return productWord() + QStringLiteral(" Desktop Auto-Update");
}

QString clientFileName()
{
    return brand::executableName(productWord());
}

QString webRoot()
{
    QString root = qEnvironmentVariable("BRISANTA_UPDATE_ROOT").trimmed();
    if (root.isEmpty())
        root = QStringLiteral("http://") + QStringLiteral(BRISANTA_GATEWAY_HOST);
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root;
}

QString downloadUrl(const QString &root)
{
    return root + QStringLiteral("/extranet/Descargas/") + clientFileName();
}

QString downloadUrl()
{
    return downloadUrl(webRoot());
}

QString targetPath(const QString &programFolder)
{
    return QDir::toNativeSeparators(QDir(programFolder).filePath(clientFileName()));
}

QString temporaryPath(const QString &target)
{
    return target + QStringLiteral(".tmp");
}

QString temporaryPath(const QString &target, const QString &run)
{
    return temporaryPath(target) + QLatin1Char('.') + run;
}

QString newRunId()
{
    return QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')
           + QString::number(QRandomGenerator::system()->generate(), 16);
}

} // namespace updater
