#include "app/client.h"
#include "brand/brand.h"
#include "brand/release_marker.h"
#include "brand/start_marker.h"
#include "platform/ui/desktop_shell.h"
#include "platform/ui/qt_prompter.h"
#include "platform/ui/qt_translation.h"

#include <QApplication>

namespace {
// Read by sign-release, which signs a release only for the version the file itself carries.
[[gnu::used]] constexpr char kReleaseMarker[] = BRISANTA_RELEASE_MARKER;
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The updater runs a newly installed client this way before it lets the previous one go: having
    // got here, every library is loaded and the window system reached. Nothing is opened or shown.
    if (QCoreApplication::arguments().size() == 2 && QCoreApplication::arguments().at(1) == QStringLiteral("--self-check"))
        return 0;
    QApplication::setApplicationName(brand::brandName() + QStringLiteral(" Desktop"));
    // Qt's own texts (text box menus, file dialogs, standard buttons) in Spanish, like the rest.
    ui::installQtSpanish(app, QCoreApplication::applicationDirPath());

    ui::QtPrompter prompter;
    ui::DesktopShell shell;
    app::Client client(prompter, shell);
    startup::MainWindow &mainWindow = client.mainWindow();
    prompter.setParentWindow(&mainWindow);

    // Closing the main window ends the program, whatever other windows are still open.
    QObject::connect(&mainWindow, &startup::MainWindow::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (client.start() == startup::StartupStatus::NoDatabase)
        return 1;
    // The start-up went through and the window is up: an updater waiting on this new client may let
    // the previous one go.
    brand::confirmStarted(QCoreApplication::applicationFilePath());
    // Without an account the main window starts hidden behind the settings dialog; with a tray
    // icon to bring it back the client keeps running when that dialog is closed.
    if (mainWindow.hasTrayIcon())
        QApplication::setQuitOnLastWindowClosed(false);
    const int code = QApplication::exec();
    // An updater still watching this new client must not take a normal end for a crash.
    brand::confirmEndedNormally(QCoreApplication::applicationFilePath());
    return code;
}
