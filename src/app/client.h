#pragma once

#include "app/main_window/main_window.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"


#include <memory>

namespace ui {
class Prompter;
class Shell;
}
namespace account {
class AccountWindows;
}

namespace app {

class ClientFeatures;
class MainWindowAccessAdapter;
class AccountDialogs;

// The whole client: the shared services, the main window and every part behind its seams, in the
// order they must be built and torn down. The program and the start-up benchmark both use it.
class Client final {
public:
    Client(ui::Prompter &prompter, ui::Shell &shell);
    ~Client();
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    startup::StartupStatus start() { return m_mainWindow.load(); }
    startup::MainWindow &mainWindow() { return m_mainWindow; }
    seams::AppContext &context() { return m_context; }

private:
    // Declared in build order: members are destroyed in reverse, windows before the connection.
    db::Connection m_connection;
    ui::BusyCursor m_busy;
    seams::AppContext m_context;
    startup::MainWindow m_mainWindow;
    std::unique_ptr<ClientFeatures> m_features;
    std::unique_ptr<MainWindowAccessAdapter> m_access;
    std::unique_ptr<account::AccountWindows> m_accountWindows;
    std::unique_ptr<AccountDialogs> m_dialogs;
};

} // namespace app
