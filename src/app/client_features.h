#pragma once

#include "automation/birthdays/birthday_greetings_window.h"
#include "platform/ui/single_instance.h"
#include "seams/subsystems.h"

#include <memory>

namespace seams {
struct AppContext;
}
namespace startup {
class MainWindow;
}
namespace automation {
class AutomationController;
}
namespace history {
class HistoryFeature;
}
namespace importexport {
class ImportExportWindows;
}
namespace contacts {
class ContactBookFeature;
namespace groups { class GroupAdminLauncher; }
namespace picker { class PickerLauncher; class SendPanelRecipients; }
}
namespace sending {
class SendPanelController;
class TemplatesPanel;
class TemplatePickerLauncher;
}

// The client's features (history, contacts, templates, sending, automation, imports and exports),
// assembled behind the main window's seams. Each feature owns its windows; this object only routes
// the main window's calls to them.
namespace app {

class ClientFeatures final : public seams::ListViews, public seams::WindowOpener, public seams::Panels {
public:
    ClientFeatures(seams::AppContext &context, startup::MainWindow &mainWindow);
    ~ClientFeatures() override;
    ClientFeatures(const ClientFeatures &) = delete;
    ClientFeatures &operator=(const ClientFeatures &) = delete;

    // What the main window is handed: every seam, filled by this object or the features it owns.
    seams::Subsystems subsystems();

    // ListViews
    void refreshHistoryPage() override;
    void refreshPendingReports(const QString &login, const QString &pass) override;
    void refreshContactList(bool reload) override;
    void refreshGroupList() override;
    void refreshTemplateList() override;
    bool isBookEmpty() const override;
    bool hasNoTemplates() const override;

    // WindowOpener
    bool canOpen(seams::WindowId id) const override;
    void open(seams::WindowId id) override;

    // Panels
    QWidget *historyPanel() override;
    QWidget *contactsPanel() override;
    QWidget *groupsPanel() override;
    QWidget *templatesPanel() override;
    void bindShowNamesItem(QAction *item) override;

private:
    // The history's recipient actions lead to the contact book and the send panel.
    void connectRecipientActions();

    seams::AppContext &m_context;
    startup::MainWindow &m_mainWindow;
    std::unique_ptr<history::HistoryFeature> m_history;
    std::unique_ptr<sending::TemplatesPanel> m_templates;
    std::unique_ptr<sending::TemplatePickerLauncher> m_templatePicker;
    std::unique_ptr<sending::SendPanelController> m_sendPanel;
    // Feeds the send panel's queue, so it goes before the panel.
    std::unique_ptr<automation::AutomationController> m_automation;
    std::unique_ptr<contacts::ContactBookFeature> m_contacts;
    std::unique_ptr<contacts::groups::GroupAdminLauncher> m_groupAdmin;
    std::unique_ptr<contacts::picker::SendPanelRecipients> m_recipients;
    std::unique_ptr<contacts::picker::PickerLauncher> m_picker;
    // Last, so it goes first: the birthday window reads the connection and calls the history.
    ui::SingleInstance<automation::birthdays::BirthdayGreetingsWindow> m_birthdayWindow;
    std::unique_ptr<importexport::ImportExportWindows> m_importExport;
};

} // namespace app
