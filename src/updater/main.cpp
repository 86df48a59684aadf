#include "platform/ui/desktop_shell.h"
#include "platform/ui/qt_prompter.h"
#include "platform/ui/qt_translation.h"
#include "updater/update_flow.h"
#include "updater/update_target.h"
#include "updater/updater_window.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QTimer>

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
    // An updater ended while it put a new client in place left that work half done: it is finished
    // or undone before anything else, with the window already answering.
    QTimer::singleShot(0, &flow, [&flow] {
        flow.resumeInterrupted(updater::targetPath(QCoreApplication::applicationDirPath()));
    });
    return QApplication::exec();
}
