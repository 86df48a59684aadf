#include "contacts/groups/group_admin_launcher.h"

#include "startup/app_context.h"

namespace contacts::groups {

GroupAdminLauncher::GroupAdminLauncher(startup::AppContext &context, startup::ListViews &listas)
    : m_context(context)
    , m_listas(listas)
{
}

GroupAdminLauncher::~GroupAdminLauncher() = default;

Form6 *GroupAdminLauncher::abrir(qint64 grupoSid)
{
    Form6 *window = m_form6.get(
        [this] { return new Form6(m_context.conexion, m_context.prompter, m_context.busy, m_listas); });
    window->setGrupo(grupoSid);
    window->f_añadir_grupo();
    window->f_añadir_grupo2();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace contacts::groups
