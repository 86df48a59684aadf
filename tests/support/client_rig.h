#pragma once

#include "app/client.h"
#include "database/opening.h"
#include "database/schema.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QApplication>
#include <QWidget>

#include <memory>

// The whole client in a test: one program folder, one in-process simulator the client is pointed
// at, scripted answers and a recording shell. The test seeds the database and creates the client.
namespace testing {

struct ClientRig {
    TempHome home;
    sim::GatewaySimulator sim;
    ScriptedPrompter prompter;
    RecordingShell shell;
    std::unique_ptr<app::Client> client;

    ClientRig()
    {
        sim.start();
        qputenv("BRISANTA_URL_BASE", sim.baseUrl().toUtf8());
    }
    ~ClientRig()
    {
        // The client goes first: it may still talk to the simulator while closing.
        client.reset();
        sim.stop();
        qunsetenv("BRISANTA_URL_BASE");
    }
    ClientRig(const ClientRig &) = delete;
    ClientRig &operator=(const ClientRig &) = delete;

    // Opens the folder's database, created with its tables when missing, for seeding.
    [[nodiscard]] bool openDatabase(db::Connection &setup) const
    {
        return setup.open(database::localDatabasePath(home.path()), db::OpenMode::CreateIfMissing).ok()
            && database::createSchema(setup).ok();
    }
};

// The visible window of that object name the client opened for itself (deleted on close).
template <typename T = QWidget>
T *openWindow(const char *name)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(name) && widget->isVisible()
            && widget->testAttribute(Qt::WA_DeleteOnClose))
            return qobject_cast<T *>(widget);
    }
    return nullptr;
}

} // namespace testing
