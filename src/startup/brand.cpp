#include "startup/brand.h"

#include <QCoreApplication>
#include <QUrl>

namespace brand {
namespace {

QString environment(const char *name)
{
    return qEnvironmentVariable(name).trimmed();
}

} // namespace

QString nombre_marca()
{
    return QStringLiteral("Brisanta");
}

QString remitente_defecto()
{
    return QStringLiteral("Brisanta.es");
}

QString nombre_web_marca()
{
    return remitente_defecto();
}

QString url_base()
{
    QString base = environment("BRISANTA_URL_BASE");
    if (base.isEmpty())
        base = QStringLiteral("http://") + QStringLiteral(BRISANTA_GATEWAY_HOST) + QLatin1Char('/');
    if (!base.endsWith(QLatin1Char('/')))
        base.append(QLatin1Char('/'));
    return base;
}

QString servidor_web()
{
    const QUrl url(url_base());
    const int port = url.port();
    return port > 0 ? url.host() + QLatin1Char(':') + QString::number(port) : url.host();
}

QString url_exportar_agenda()
{
    return url_base() + QStringLiteral("extranet/SMS/desktop_export_agenda.php");
}

QString url_importar_agenda()
{
    return url_base() + QStringLiteral("extranet/SMS/desktop_import_agenda.php");
}

QString url_recordar_password()
{
    return url_base() + QStringLiteral("extranet_nueva/OUT/out_index.php?cu=recordar");
}

QString url_instalador()
{
    return url_base() + QStringLiteral("extranet/Descargas/") + nombre_marca()
           + QStringLiteral("_Desktop_Install.exe");
}

QString ruta_programa()
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
