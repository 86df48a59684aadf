#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/desktop_shell.h"
#include "platform/ui/qt_prompter.h"
#include "app/account_bridge.h"
#include "app/client_features.h"
#include "startup/app_context.h"
#include "startup/brand.h"
#include "startup/main_window/form1.h"
#include "startup/subsystems.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QSystemTrayIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(brand::nombre_marca() + QStringLiteral(" Desktop"));

    // The shared services live for the whole run; every window reaches them through the context.
    db::Connection conexion;
    ui::QtPrompter prompter;
    ui::DesktopShell shell;
    ui::BusyCursor busy;
    QNetworkAccessManager network;
    startup::AppContext context{conexion, prompter, shell, busy, network, brand::ruta_programa()};

    startup::Form1 form1(context);
    prompter.setParentWindow(&form1);
    // The later parts of the client sit behind the main window's seams.
    app::ClientFeatures features(context, form1);
    const startup::Subsystems subsystems = features.subsystems();
    form1.setSubsystems(subsystems);
    app::Form1Access access(form1);
    startup::AccountWindows accountWindows(context, access, subsystems.windows);
    app::AccountDialogs dialogs(accountWindows, context);
    form1.setDialogOpener(&dialogs);
    // Closing the main window ends the program, whatever other windows are still open.
    QObject::connect(&form1, &startup::Form1::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // Without an account the main window starts hidden behind the settings dialog; with a tray
    // icon to bring it back the client keeps running when that dialog is closed.
    if (form1.Form_Load() == startup::StartupStatus::NoDatabase)
        return 1;
    if (form1.hasTrayIcon())
        QApplication::setQuitOnLastWindowClosed(false);
    return QApplication::exec();
}
