#include "app/client_features.h"

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
#include "sending/offer/unknown_number_offer.h"
#include "sending/panel/send_panel_controller.h"
#include "sending/panel/send_panel_view.h"
#include "sending/templates/template_picker.h"
#include "sending/templates/templates_panel.h"
#include "startup/app_context.h"
#include "startup/main_window/form1.h"

namespace app {

ClientFeatures::ClientFeatures(startup::AppContext &context, startup::Form1 &mainWindow)
    : m_context(context),
      m_form1(mainWindow),
      m_history(std::make_unique<history::HistoryFeature>(context)),
      m_templates(std::make_unique<sending::TemplatesPanel>(context.conexion, context.prompter)),
      m_templatePicker(std::make_unique<sending::TemplatePickerLauncher>(
          context.conexion, context.prompter, *m_templates, mainWindow.sendPanel().Text1())),
      m_sendPanel(std::make_unique<sending::SendPanelController>(mainWindow.sendPanel(), context, this, this)),
      m_automation(std::make_unique<automation::AutomationController>(context, *m_sendPanel)),
      m_contacts(std::make_unique<contacts::ContactBookFeature>(context)),
      m_groupAdmin(std::make_unique<contacts::groups::GroupAdminLauncher>(context, *this)),
      m_recipients(std::make_unique<contacts::picker::SendPanelRecipients>(mainWindow.sendPanel(), *m_sendPanel)),
      m_picker(std::make_unique<contacts::picker::PickerLauncher>(context, *m_recipients))
{
    // The history asks the gateway with the same account copies the main window keeps.
    m_history->setAccountSource([&mainWindow] { return history::Account{mainWindow.usuario_login(), mainWindow.usuario_pass()}; });
    // The send command re-reads the account row; the main window's copies follow it.
    QObject::connect(m_sendPanel.get(), &sending::SendPanelController::credencialesLeidas, &mainWindow,
                     &startup::Form1::setCredentials);
    // The watched file's checks read the account row too; its start/stop item is the main menu's.
    QObject::connect(m_automation.get(), &automation::AutomationController::credencialesLeidas, &mainWindow,
                     &startup::Form1::setCredentials);
    m_automation->setMenuItem(mainWindow.menuAction(QStringLiteral("mnuAutomatizar_Comenzar")));
    // The contact filter reads the operator and field lists that the start-up fills.
    m_contacts->contactsPanel()->usarListas(mainWindow.Combo2(), mainWindow.Combo4());
    // "Buscar envíos" shows the contact's sends on the "Historial" tab.
    m_contacts->setBuscarEnvios([this](const QString &phone) {
        m_history->buscarEnvios(phone);
        m_form1.selectTab(2);
    });
    m_contacts->setAdministrarGrupo([this](qint64 sid) { m_groupAdmin->abrir(sid); });
    // The offer of unknown recipients saves through the contact editor, whose save goes on with
    // the next number.
    sending::UnknownNumberOffer &offer = m_sendPanel->ofertaAgenda();
    offer.setSaveContact([this](const QString &number, qint64 position) {
        m_contacts->guardarNumeroDesconocido(number, position);
    });
    QObject::connect(m_contacts.get(), &contacts::ContactBookFeature::introducirAgenda, &offer,
                     [&offer](double position, bool skip) { offer.introducir_agenda(qint64(position), skip); });
    connectRecipientActions();
    m_importExport = std::make_unique<importexport::ImportExportWindows>(context, *this, [this] {
        m_form1.show();
        m_form1.raise();
    });
}

void ClientFeatures::connectRecipientActions()
{
    // "Filtrar contactos" and "Crear grupo" end on the "Contactos" tab, filtered.
    history::ContactBookLink contactBook;
    contactBook.filtrarPorTelefonos = [this](const QString &list) { m_contacts->filtrarPorTelefonos(list); };
    contactBook.f_grupos = [this] { m_contacts->f_grupos(); };
    contactBook.filtrarPorGrupo = [this](const QString &name) { m_contacts->filtrarPorGrupo(name); };
    contactBook.mostrarContactos = [this] { m_form1.selectTab(3); };
    m_history->recipientActions().setContactBook(std::move(contactBook));

    // "Añadir a 'Enviar a'": the numbers not yet in the box go to its end, as the picker adds
    // them (a number already there would be sent and charged twice); then the send tab shows and
    // the new cost is asked for at once.
    m_history->recipientActions().setSendPanel([this](const QString &list) {
        const contacts::picker::Destinatarios before{history::cajaAntesDeAnadir(m_recipients->texto()),
                                                    m_recipients->tag()};
        const contacts::picker::Adicion addition =
            contacts::picker::agregarNumeros(before, history::telefonosDe(list));
        if (addition.cambiada())
            m_recipients->escribir(addition.caja.texto, addition.caja.tag);
        m_form1.selectTab(1);
        if (addition.cambiada())
            m_recipients->dejarDestinatarios();
    });
}

// The windows go before the connection they read; the main window outlives this object. Members
// go in reverse order: the picker before the recipients box it writes to.
ClientFeatures::~ClientFeatures() = default;

startup::Subsystems ClientFeatures::subsystems()
{
    startup::Subsystems parts;
    parts.lists = this;
    parts.windows = this;
    parts.panels = this;
    parts.automation = m_automation.get();
    parts.quote = &m_sendPanel->balanceQuote();
    parts.owedReplies = &m_sendPanel->owedReplies();
    return parts;
}

void ClientFeatures::f_historial()
{
    m_history->f_historial();
}

void ClientFeatures::f_actualizar_pendientes(const QString &login, const QString &pass)
{
    m_history->f_actualizar_pendientes(login, pass);
}

void ClientFeatures::f_agenda(bool reload)
{
    m_contacts->f_agenda(reload);
}

void ClientFeatures::f_grupos()
{
    m_contacts->f_grupos();
}

bool ClientFeatures::agendaVacia() const
{
    return m_contacts->agendaVacia();
}

void ClientFeatures::f_plantillas()
{
    m_templates->f_plantillas();
}

bool ClientFeatures::plantillasVacias() const
{
    return m_templates->plantillasVacias();
}

bool ClientFeatures::canOpen(startup::WindowId id) const
{
    switch (id) {
    case startup::WindowId::Form7:
    case startup::WindowId::Form11:
    case startup::WindowId::Form16:
    case startup::WindowId::Form18:
    case startup::WindowId::Form20:
        return true;
    default:
        return m_contacts->canOpen(id) || importexport::ImportExportWindows::canOpen(id);
    }
}

void ClientFeatures::open(startup::WindowId id)
{
    if (id == startup::WindowId::Form11)
        m_templatePicker->open();
    else if (id == startup::WindowId::Form16)
        m_automation->openSettings();
    else if (id == startup::WindowId::Form18)
        m_history->openExport();
    else if (id == startup::WindowId::Form7)
        m_picker->open();
    else if (id == startup::WindowId::Form20)
        m_form20.show([this] {
            automation::birthdays::Form20::Enlaces links;
            links.f_historial = [this] { f_historial(); };
            links.mostrarPrincipal = [this] {
                m_form1.show();
                m_form1.raise();
            };
            return new automation::birthdays::Form20(m_context, std::move(links));
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

void ClientFeatures::bindMostrarNombres(QAction *item)
{
    m_history->bindMostrarNombres(item);
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
