#include "contacts/groups/group_admin_launcher.h"

#include "startup/app_context.h"

namespace contacts::groups {

GroupAdminLauncher::GroupAdminLauncher(startup::AppContext &context, startup::ListViews &listViews)
    : m_context(context)
    , m_listas(listViews)
{
}

GroupAdminLauncher::~GroupAdminLauncher() = default;

Form6 *GroupAdminLauncher::abrir(qint64 groupSid)
{
    Form6 *window = m_form6.get(
        [this] { return new Form6(m_context.conexion, m_context.prompter, m_context.busy, m_listas); });
    window->setGrupo(groupSid);
    window->f_añadir_grupo();
    window->f_añadir_grupo2();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace contacts::groups
