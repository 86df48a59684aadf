#include "app/client_features.h"

#include "automation/automation_controller.h"
#include "history/view/history_feature.h"
#include "history/view/history_panel.h"
#include "sending/panel/send_panel_controller.h"
#include "sending/templates/template_picker.h"
#include "sending/templates/templates_panel.h"
#include "startup/app_context.h"
#include "startup/main_window/form1.h"
#include "startup/main_window/send_panel_view.h"

namespace app {

ClientFeatures::ClientFeatures(startup::AppContext &context, startup::Form1 &form1)
    : m_context(context),
      m_form1(form1),
      m_history(std::make_unique<history::HistoryFeature>(context)),
      m_templates(std::make_unique<sending::TemplatesPanel>(context.conexion, context.prompter)),
      m_templatePicker(std::make_unique<sending::TemplatePickerLauncher>(
          context.conexion, context.prompter, *m_templates, form1.sendPanel().Text1())),
      m_sendPanel(std::make_unique<sending::SendPanelController>(form1.sendPanel(), context, this, this)),
      m_automation(std::make_unique<automation::AutomationController>(context, *m_sendPanel))
{
    // The history asks the gateway with the same account copies the main window keeps.
    m_history->setAccountSource([&form1] { return history::Account{form1.usuario_login(), form1.usuario_pass()}; });
    // The send command re-reads the account row; the main window's copies follow it.
    QObject::connect(m_sendPanel.get(), &sending::SendPanelController::credencialesLeidas, &form1,
                     &startup::Form1::setCredentials);
    // The watched file's checks read the account row too; its start/stop item is the main menu's.
    QObject::connect(m_automation.get(), &automation::AutomationController::credencialesLeidas, &form1,
                     &startup::Form1::setCredentials);
    m_automation->setMenuItem(form1.menuAction(QStringLiteral("mnuAutomatizar_Comenzar")));
}

// The windows go before the connection they read; the main window outlives this object.
ClientFeatures::~ClientFeatures() = default;

startup::Subsystems ClientFeatures::subsystems()
{
    startup::Subsystems parts;
    parts.lists = this;
    parts.windows = this;
    parts.panels = this;
    parts.automation = m_automation.get();
    parts.quote = &m_sendPanel->balanceQuote();
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
    return id == startup::WindowId::Form11 || id == startup::WindowId::Form16 || id == startup::WindowId::Form20;
}

void ClientFeatures::open(startup::WindowId id)
{
    if (id == startup::WindowId::Form11)
        m_templatePicker->open();
    else if (id == startup::WindowId::Form16)
        m_automation->openSettings();
    else if (id == startup::WindowId::Form20)
        m_form20.show([this] {
            automation::birthdays::Form20::Enlaces enlaces;
            enlaces.f_historial = [this] { f_historial(); };
            enlaces.mostrarPrincipal = [this] {
                m_form1.show();
                m_form1.raise();
            };
            return new automation::birthdays::Form20(m_context, std::move(enlaces));
        });
}

QWidget *ClientFeatures::historyPanel()
{
    return m_history->panel();
}

void ClientFeatures::bindMostrarNombres(QAction *item)
{
    m_history->bindMostrarNombres(item);
}

QWidget *ClientFeatures::templatesPanel()
{
    return m_templates.get();
}

} // namespace app
