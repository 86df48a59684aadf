#include "app/client.h"

#include "app/account_bridge.h"
#include "app/client_features.h"
#include "startup/brand.h"

namespace app {

Client::Client(ui::Prompter &prompter, ui::Shell &shell)
    : m_context{m_conexion, prompter, shell, m_busy, m_network, brand::ruta_programa()},
      m_form1(m_context)
{
    // The later parts of the client sit behind the main window's seams.
    m_features = std::make_unique<ClientFeatures>(m_context, m_form1);
    const startup::Subsystems subsystems = m_features->subsystems();
    m_form1.setSubsystems(subsystems);
    m_access = std::make_unique<Form1Access>(m_form1);
    m_accountWindows = std::make_unique<startup::AccountWindows>(m_context, *m_access, subsystems.windows);
    m_dialogs = std::make_unique<AccountDialogs>(*m_accountWindows, m_context);
    m_form1.setDialogOpener(m_dialogs.get());
}

Client::~Client()
{
    // Windows first, in reverse order of building; the main window and the connection last.
    m_form1.setDialogOpener(nullptr);
    m_dialogs.reset();
    m_accountWindows.reset();
    m_access.reset();
    m_form1.setSubsystems({});
    m_features.reset();
}

} // namespace app
