#include "brand/brand.h"

#include <QCoreApplication>
#include <QUrl>

namespace brand {
namespace {

QString environment(const char *name)
{
    return qEnvironmentVariable(name).trimmed();
}

} // namespace

QString brandName()
{
    return QStringLiteral("Brisanta");
}

QString defaultSender()
{
    return QStringLiteral("Brisanta.es");
}

QString webName()
{
    return defaultSender();
}

QString baseUrl()
{
    QString base = environment("BRISANTA_URL_BASE");
    if (base.isEmpty())
        base = QStringLiteral("http://") + QStringLiteral(BRISANTA_GATEWAY_HOST) + QLatin1Char('/');
    if (!base.endsWith(QLatin1Char('/')))
        base.append(QLatin1Char('/'));
    return base;
}

QString webHost()
{
    const QUrl url(baseUrl());
    const int port = url.port();
    return port > 0 ? url.host() + QLatin1Char(':') + QString::number(port) : url.host();
}

QString contactsExportUrl()
{
    return baseUrl() + QStringLiteral("extranet/SMS/desktop_export_agenda.php");
}

QString contactsImportUrl()
{
    return baseUrl() + QStringLiteral("extranet/SMS/desktop_import_agenda.php");
}

QString passwordReminderUrl()
{
    return baseUrl() + QStringLiteral("extranet_nueva/OUT/out_index.php?cu=recordar");
}

QString installerUrl()
{
    return baseUrl() + QStringLiteral("extranet/Descargas/") + brandName()
           + QStringLiteral("_Desktop_Install.exe");
}

QString programFolder()
{
    const QString home = environment("BRISANTA_HOME");
    if (!home.isEmpty())
        return home;
    return QCoreApplication::applicationDirPath();
}

QString executableName(const QString &baseName)
{
#ifdef Q_OS_WIN
    return baseName + QStringLiteral(".exe");
#else
    return baseName;
#endif
}

} // namespace brand
