#pragma once

#include "contacts/groups/group_admin_dialog.h"
#include "platform/ui/single_instance.h"

namespace seams { struct AppContext; class ListViews; }

namespace contacts::groups {

// The groups view's "Administrar grupo" (and the double-click on a group) opens the one group
// administration window through this. A new group for a window already open rebuilds both lists
// for it and keeps the filter, the pages and the group combo.
class GroupAdminLauncher final {
public:
    GroupAdminLauncher(seams::AppContext &context, seams::ListViews &listViews);
    GroupAdminLauncher(const GroupAdminLauncher &) = delete;
    GroupAdminLauncher &operator=(const GroupAdminLauncher &) = delete;
    ~GroupAdminLauncher();

    GroupAdminDialog *open(qint64 groupSid);
    GroupAdminDialog *window() const { return m_dialog.existing(); }

private:
    seams::AppContext &m_context;
    seams::ListViews &m_listViews;
    ui::SingleInstance<GroupAdminDialog> m_dialog;
};

} // namespace contacts::groups
