#include "platform/ui/desktop_shell.h"
#include "platform/ui/qt_prompter.h"
#include "platform/ui/qt_translation.h"
#include "updater/update_flow.h"
#include "updater/update_target.h"
#include "updater/updater_window.h"

#include <QApplication>
#include <QNetworkAccessManager>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Boxes without a title of their own carry the program's name.
    QApplication::setApplicationName(QStringLiteral("Brisanta_Desktop_AutoUpdate"));
    // Its boxes carry Qt's standard buttons: in Spanish, like the client's.
    ui::installQtSpanish(app, QCoreApplication::applicationDirPath());

    QNetworkAccessManager network;
    ui::QtPrompter prompter;
    ui::DesktopShell shell;
    updater::UpdateFlow flow(prompter, shell, network);
    // The updater lives in the client's program folder.
    updater::UpdaterWindow window(flow, QCoreApplication::applicationDirPath());
    prompter.setParentWindow(&window);

    QObject::connect(&flow, &updater::UpdateFlow::endRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}
