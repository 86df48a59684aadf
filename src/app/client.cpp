#include "app/client.h"

#include "app/account_bridge.h"
#include "app/client_features.h"
#include "brand/brand.h"

namespace app {

Client::Client(ui::Prompter &prompter, ui::Shell &shell)
    : m_context{m_connection, prompter, shell, m_busy, brand::programFolder()},
      m_mainWindow(m_context)
{
    // The main window reaches the features (history, contacts, templates, sending, automation,
    // imports and exports) only through its seams: lists, windows, panels, quote and owed replies.
    m_features = std::make_unique<ClientFeatures>(m_context, m_mainWindow);
    const seams::Subsystems subsystems = m_features->subsystems();
    m_mainWindow.setSubsystems(subsystems);
    m_access = std::make_unique<MainWindowAccessAdapter>(m_mainWindow);
    m_accountWindows = std::make_unique<account::AccountWindows>(m_context, *m_access, subsystems.windows);
    m_dialogs = std::make_unique<AccountDialogs>(*m_accountWindows, m_context);
    m_mainWindow.setDialogOpener(m_dialogs.get());
}

Client::~Client()
{
    // Windows first, in reverse order of building; the main window and the connection last.
    m_mainWindow.setDialogOpener(nullptr);
    m_dialogs.reset();
    m_accountWindows.reset();
    m_access.reset();
    m_mainWindow.setSubsystems({});
    m_features.reset();
}

} // namespace app
