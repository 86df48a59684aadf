#include "startup/version_check.h"

#include "brand/brand.h"
#include "platform/db/connection.h"
#include "platform/net/sync_http.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "seams/app_context.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace startup::version {
namespace {

constexpr qsizetype kMaxLength = 10;

QString newVersionNotice()
{
    return QStringLiteral("Existe una nueva versión de ") + brand::brandName()
           + QStringLiteral(" Desktop. Por favor, descárguela para asegurar el buen funcionamiento del programa. "
                            "Los datos NO se pierden actualizando el programa.");
}

// Why the updater at `path` could not be started, for the user.
QString updaterProblem(const QString &path)
{
    const QFileInfo file(path);
    QString reason;
    if (!file.exists())
        reason = QStringLiteral("no se encuentra el archivo");
    else if (!file.isFile() || !file.isExecutable())
        reason = QStringLiteral("el archivo no se puede ejecutar");
    else
        reason = QStringLiteral("el sistema no ha podido iniciarlo");
    const QString text = QStringLiteral("No se ha podido iniciar el programa de actualización %1 (%2). Vuelva a "
                                        "instalar ")
                         + brand::brandName()
                         + QStringLiteral(" Desktop con el instalador completo para actualizarlo.");
    return text.arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

QString cleanReply(const QString &raw)
{
    QString t = raw;
    const qsizetype open = t.indexOf(QLatin1String("<BODY>"), 0, Qt::CaseSensitive);
    if (open >= 0) {
        const qsizetype start = open + 6;
        const qsizetype end = t.indexOf(QLatin1String("</BODY>"), 0, Qt::CaseInsensitive);
        if (end >= start)
            t = t.mid(start, end - start);
    }
    t.remove(QLatin1Char('\n'));
    t.remove(QLatin1Char('\r'));
    return t.trimmed();
}

Action decide(const QString &cleaned)
{
    if (cleaned.isEmpty() || cleaned.size() > kMaxLength)
        return Action::NoConnection;
    if (cleaned.contains(QLatin1Char('|'))) {
        const QStringList parts = cleaned.split(QLatin1Char('|'));
        if (brand::isNewer(parts.at(1)))
            return Action::OpenInstaller;
        if (brand::isNewer(parts.at(0)))
            return Action::StartUpdater;
        return Action::StoreVersion;
    }
    return brand::isNewer(cleaned) ? Action::StartUpdater : Action::Nothing;
}

FetchResult fetchVersion(seams::AppContext &context, std::chrono::milliseconds timeout)
{
    ui::BusyGuard busy(context.busy, QStringLiteral("version"));
    net::SyncHttp http(brand::baseUrl());
    http.setTimeout(timeout);
    FetchResult fetched;
    if (http.connectTo(brand::webHost())) {
        // The old transport's arrays carry one empty element more than there are fields.
        const net::SyncReply reply = http.request(QStringLiteral("extranet/SMS/desktop_version.php"),
                                                   {QStringLiteral("Fuente"), QString()},
                                                   {QStringLiteral("Desktop"), QString()});
        fetched.ok = reply.ok;
        fetched.text = reply.text;
    }
    http.disconnect();
    return fetched;
}

QString updaterPath(const QString &programFolder)
{
    return QDir(programFolder).filePath(brand::executableName(brand::brandName() + QStringLiteral("_Desktop_AutoUpdate")));
}

Action actOnReply(seams::AppContext &context, const FetchResult &fetched, const QString &storedVersion)
{
    if (!fetched.ok)
        return Action::Nothing;   // no connection: start-up goes on quietly
    const Action action = decide(cleanReply(fetched.text));
    const QString title = QStringLiteral("Nueva versión del programa");
    switch (action) {
    case Action::OpenInstaller:
        context.prompter.message(newVersionNotice()
                                     + QStringLiteral(" Recuerde cerrar este programa antes de pulsar 'Siguiente' en "
                                                      "la instalación."),
                                 title);
        context.shell.openUrl(brand::installerUrl());
        break;
    case Action::StartUpdater: {
        context.prompter.message(newVersionNotice(), title);
        // The updater is installed beside the client's executable; the program folder may be elsewhere
        // (BRISANTA_HOME), holding only the data.
        const QString updater = updaterPath(QCoreApplication::applicationDirPath());
        // The client keeps running either way, but the user learns why nothing was updated.
        if (!context.shell.startProgram(updater))
            context.prompter.message(updaterProblem(updater), title, ui::Icon::Warning);
        break;
    }
    case Action::StoreVersion:
        if (storedVersion != QLatin1String(brand::kClientVersion))
            context.connection.execute(QStringLiteral("UPDATE Usuario SET version_desktop=?1"),
                                     {QString::fromLatin1(brand::kClientVersion)});
        break;
    case Action::NoConnection:
        context.prompter.message(QStringLiteral("Error de conexión con el servidor. Por favor, compruebe que dispone "
                                                "de conexión de Internet."),
                                 QStringLiteral("Sin conexión"), ui::Icon::Warning);
        break;
    case Action::Nothing:
        break;
    }
    return action;
}

Action checkVersion(seams::AppContext &context, const QString &storedVersion)
{
    return actOnReply(context, fetchVersion(context), storedVersion);
}

} // namespace startup::version
