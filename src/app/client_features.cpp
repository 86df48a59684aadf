#include "app/client_features.h"

#include "app/main_window/main_window.h"
#include "automation/automation_controller.h"
#include "contacts/groups/group_admin_launcher.h"
#include "contacts/picker/picker_launcher.h"
#include "contacts/picker/recipient_adder.h"
#include "contacts/picker/send_panel_recipients.h"
#include "contacts/view/contact_book_feature.h"
#include "contacts/view/contacts_panel.h"
#include "contacts/view/groups_panel.h"
#include "history/recipient_classes.h"
#include "history/view/history_feature.h"
#include "history/view/history_panel.h"
#include "history/view/recipient_actions.h"
#include "importexport/import_export_windows.h"
#include "seams/app_context.h"
#include "sending/offer/unknown_number_offer.h"
#include "sending/panel/send_panel_controller.h"
#include "sending/panel/send_panel_view.h"
#include "sending/templates/template_picker_dialog.h"
#include "sending/templates/templates_panel.h"

namespace app {

ClientFeatures::ClientFeatures(seams::AppContext &context, startup::MainWindow &mainWindow)
    : m_context(context),
      m_mainWindow(mainWindow),
      m_history(std::make_unique<history::HistoryFeature>(context)),
      m_templates(std::make_unique<sending::TemplatesPanel>(context.connection, context.prompter)),
      m_templatePicker(std::make_unique<sending::TemplatePickerLauncher>(
          context.connection, context.prompter, *m_templates, mainWindow.sendPanel().messageBox())),
      m_sendPanel(std::make_unique<sending::SendPanelController>(mainWindow.sendPanel(), context, this, this)),
      m_automation(std::make_unique<automation::AutomationController>(context, *m_sendPanel)),
      m_contacts(std::make_unique<contacts::ContactBookFeature>(context)),
      m_groupAdmin(std::make_unique<contacts::groups::GroupAdminLauncher>(context, *this)),
      m_recipients(std::make_unique<contacts::picker::SendPanelRecipients>(mainWindow.sendPanel(), *m_sendPanel)),
      m_picker(std::make_unique<contacts::picker::PickerLauncher>(context, *m_recipients))
{
    // The history asks the gateway with the same account copies the main window keeps.
    m_history->setAccountSource([&mainWindow] { return history::Account{mainWindow.accountLogin(), mainWindow.accountPassword()}; });
    // A cancellation that gave credits back, or may have, has the balance asked for again.
    QObject::connect(m_history.get(), &history::HistoryFeature::balanceWanted, m_sendPanel.get(),
                     &sending::SendPanelController::refreshQuote);
    // The send command re-reads the account row; the main window's copies follow it.
    QObject::connect(m_sendPanel.get(), &sending::SendPanelController::credentialsRead, &mainWindow,
                     &startup::MainWindow::setCredentials);
    // The watched file's checks read the account row too; its start/stop item is the main menu's.
    QObject::connect(m_automation.get(), &automation::AutomationController::credentialsRead, &mainWindow,
                     &startup::MainWindow::setCredentials);
    m_automation->setMenuItem(mainWindow.menuAction(QStringLiteral("mnuAutomatizar_Comenzar")));
    // The contact filter reads the operator and field lists that the start-up fills.
    m_contacts->contactsPanel()->useLists(mainWindow.filterOperatorCombo(), mainWindow.filterFieldCombo());
    // "Buscar envíos" shows the contact's sends on the "Historial" tab.
    m_contacts->setFindSends([this](const QString &phone) {
        m_history->findSendsTo(phone);
        m_mainWindow.selectTab(2);
    });
    m_contacts->setAdministerGroup([this](qint64 sid) { m_groupAdmin->open(sid); });
    // The offer of unknown recipients saves through the contact editor, whose save goes on with
    // the next number.
    sending::UnknownNumberOffer &offer = m_sendPanel->unknownNumberOffer();
    offer.setSaveContact([this](const QString &number, qint64 position) {
        m_contacts->openEditorForUnknownNumber(number, position);
    });
    QObject::connect(m_contacts.get(), &contacts::ContactBookFeature::resumeNumberOffer, &offer,
                     [&offer](double position, bool skip) { offer.offerNextUnknown(qint64(position), skip); });
    connectRecipientActions();
    m_importExport = std::make_unique<importexport::ImportExportWindows>(context, *this, [this] {
        m_mainWindow.show();
        m_mainWindow.raise();
    });
}

void ClientFeatures::connectRecipientActions()
{
    // "Filtrar contactos" and "Crear grupo" end on the "Contactos" tab, filtered.
    history::ContactBookLink contactBook;
    contactBook.filterByPhones = [this](const QString &list) { m_contacts->filterByPhones(list); };
    contactBook.reloadGroups = [this] { m_contacts->refreshGroupList(); };
    contactBook.filterByGroup = [this](const QString &name) { m_contacts->filterByGroup(name); };
    contactBook.showContacts = [this] { m_mainWindow.selectTab(3); };
    m_history->recipientActions().setContactBook(std::move(contactBook));

    // "Añadir a 'Enviar a'": the numbers not yet in the box go to its end, as the picker adds
    // them (a number already there would be sent and charged twice); then the send tab shows and
    // the new cost is asked for at once.
    m_history->recipientActions().setSendPanel([this](const QString &list) {
        const contacts::picker::RecipientsText before{history::keptRecipientsText(m_recipients->text()),
                                                    m_recipients->tag()};
        const contacts::picker::Addition addition =
            contacts::picker::addNumbers(before, history::phonesOf(list));
        if (addition.changed())
            m_recipients->write(addition.box.text, addition.box.tag);
        m_mainWindow.selectTab(1);
        if (addition.changed())
            m_recipients->leaveRecipients();
    });
}

// The windows go before the connection they read; the main window outlives this object. Members
// go in reverse order: the picker before the recipients box it writes to.
ClientFeatures::~ClientFeatures() = default;

seams::Subsystems ClientFeatures::subsystems()
{
    seams::Subsystems parts;
    parts.lists = this;
    parts.windows = this;
    parts.panels = this;
    parts.automation = m_automation.get();
    parts.quote = &m_sendPanel->balanceQuote();
    parts.owedReplies = &m_sendPanel->owedReplies();
    return parts;
}

void ClientFeatures::refreshHistoryPage()
{
    m_history->refreshHistoryPage();
}

void ClientFeatures::refreshPendingReports(const QString &login, const QString &pass)
{
    m_history->refreshPendingReports(login, pass);
}

void ClientFeatures::refreshContactList(bool reload)
{
    m_contacts->refreshContactList(reload);
}

void ClientFeatures::refreshGroupList()
{
    m_contacts->refreshGroupList();
}

bool ClientFeatures::isBookEmpty() const
{
    return m_contacts->isBookEmpty();
}

void ClientFeatures::refreshTemplateList()
{
    m_templates->reloadTemplates();
}

bool ClientFeatures::hasNoTemplates() const
{
    return m_templates->hasNoTemplates();
}

bool ClientFeatures::canOpen(seams::WindowId id) const
{
    switch (id) {
    case seams::WindowId::ContactPicker:
    case seams::WindowId::TemplatePicker:
    case seams::WindowId::AutomationSettings:
    case seams::WindowId::HistoryExport:
    case seams::WindowId::BirthdayGreetings:
        return true;
    default:
        return m_contacts->canOpen(id) || importexport::ImportExportWindows::canOpen(id);
    }
}

void ClientFeatures::open(seams::WindowId id)
{
    if (id == seams::WindowId::TemplatePicker)
        m_templatePicker->open();
    else if (id == seams::WindowId::AutomationSettings)
        m_automation->openSettings();
    else if (id == seams::WindowId::HistoryExport)
        m_history->openExport();
    else if (id == seams::WindowId::ContactPicker)
        m_picker->open();
    else if (id == seams::WindowId::BirthdayGreetings)
        m_birthdayWindow.show([this] {
            automation::birthdays::BirthdayGreetingsWindow::Links links;
            links.refreshHistoryPage = [this] { refreshHistoryPage(); };
            links.showMainWindow = [this] {
                m_mainWindow.show();
                m_mainWindow.raise();
            };
            return new automation::birthdays::BirthdayGreetingsWindow(m_context, std::move(links));
        });
    else if (m_contacts->canOpen(id))
        m_contacts->open(id);
    else if (importexport::ImportExportWindows::canOpen(id))
        m_importExport->open(id);
}

QWidget *ClientFeatures::historyPanel()
{
    return m_history->panel();
}

void ClientFeatures::bindShowNamesItem(QAction *item)
{
    m_history->bindShowNamesItem(item);
}

QWidget *ClientFeatures::contactsPanel()
{
    return m_contacts->contactsPanel();
}

QWidget *ClientFeatures::groupsPanel()
{
    return m_contacts->groupsPanel();
}

QWidget *ClientFeatures::templatesPanel()
{
    return m_templates.get();
}

} // namespace app
