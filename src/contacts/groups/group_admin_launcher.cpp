#include "contacts/groups/group_admin_launcher.h"

#include "seams/app_context.h"

namespace contacts::groups {

GroupAdminLauncher::GroupAdminLauncher(seams::AppContext &context, seams::ListViews &listViews)
    : m_context(context)
    , m_listViews(listViews)
{
}

GroupAdminLauncher::~GroupAdminLauncher() = default;

GroupAdminDialog *GroupAdminLauncher::open(qint64 groupSid)
{
    GroupAdminDialog *window = m_dialog.get(
        [this] { return new GroupAdminDialog(m_context.connection, m_context.prompter, m_context.busy, m_listViews); });
    window->setGroup(groupSid);
    window->reloadContactList();
    window->reloadMemberList();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace contacts::groups
