#pragma once

#include "contacts/groups/form6.h"
#include "platform/ui/single_instance.h"

namespace startup { struct AppContext; class ListViews; }

namespace contacts::groups {

// The groups view's "Administrar grupo" (and the double-click on a group) opens the one group
// administration window through this. A new group for a window already open rebuilds both lists
// for it and keeps the filter, the pages and the group combo.
class GroupAdminLauncher final {
public:
    GroupAdminLauncher(startup::AppContext &context, startup::ListViews &listViews);
    GroupAdminLauncher(const GroupAdminLauncher &) = delete;
    GroupAdminLauncher &operator=(const GroupAdminLauncher &) = delete;
    ~GroupAdminLauncher();

    Form6 *abrir(qint64 groupSid);
    Form6 *ventana() const { return m_form6.existing(); }

private:
    startup::AppContext &m_context;
    startup::ListViews &m_listas;
    ui::SingleInstance<Form6> m_form6;
};

} // namespace contacts::groups
