#include "automation/automation_controller.h"

#include "automation/form16.h"
#include "automation/settings_store.h"
#include "platform/ui/prompter.h"
#include "sending/panel/account_row.h"
#include "sending/panel/send_line.h"
#include "sending/panel/send_panel_controller.h"
#include "sending/send_reply.h"
#include "startup/app_context.h"

#include <QAction>
#include <QFileInfo>
#include <QScopedValueRollback>

namespace automation {
namespace {

constexpr int kOneMinute = 60000;
const QString kStartCaption = QStringLiteral("Comenzar");
const QString kStopCaption = QStringLiteral("Detener");

} // namespace

AutomationController::AutomationController(startup::AppContext &context, sending::SendPanelController &panel,
                                           QObject *parent)
    : QObject(parent), m_context(context), m_panel(panel), m_clock([] { return QDateTime::currentDateTime(); })
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setInterval(kOneMinute);
    connect(&m_timer, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    // After each handled automated reply with entries left, a tick follows at once: it counts a
    // minute off and puts the interval back (the reply itself sends the next entry).
    connect(&panel.sendLine(), &sending::SendLine::replyHandled, this, [this](sending::ReplyKind kind) {
        if (kind != sending::ReplyKind::NoConnection && m_panel.automatizado() && m_panel.pendientes() > 0)
            m_timer.setInterval(1);
    });
}

AutomationController::~AutomationController() = default;

void AutomationController::setMenuItem(QAction *startAction)
{
    m_comenzar = startAction;
}

QString AutomationController::caption() const
{
    if (m_comenzar)
        return m_comenzar->text();
    return m_timer.isActive() ? kStopCaption : kStartCaption;
}

startup::Automation::State AutomationController::restoreAtStartup()
{
    const std::optional<Ajustes> settings = leerAjustes(m_context.conexion);
    if (!settings)
        return {false, false};
    if (settings->activo != QLatin1String("1"))
        return {true, false};
    m_countdown.reiniciar(settings->minutos);
    m_timer.start(kOneMinute);
    return {true, true};
}

void AutomationController::toggle()
{
    if (caption() == kStartCaption) {
        const std::optional<Ajustes> settings = leerAjustes(m_context.conexion);
        // A new database's row names no file and no separator: no settings yet, as no row.
        if (!settings || settings->archivo.isEmpty() || settings->delimitador.isEmpty()) {
            if (m_comenzar)
                m_comenzar->setEnabled(false);
            openSettings();
            return;
        }
        m_countdown.reiniciar(settings->minutos);
        m_timer.start(kOneMinute);
        if (m_comenzar)
            m_comenzar->setText(kStopCaption);
        marcarActivo(m_context.conexion, true);
        return;
    }
    // Switching off leaves the queue alone: what is queued goes on going out reply by reply.
    m_countdown.poner(0);
    if (m_comenzar)
        m_comenzar->setText(kStartCaption);
    m_timer.stop();
    marcarActivo(m_context.conexion, false);
}

void AutomationController::openSettings()
{
    m_form16.show([this] {
        auto *window = new Form16(m_context);
        connect(window, &Form16::guardado, this, &AutomationController::ajustesGuardados);
        return window;
    });
}

Form16 *AutomationController::settingsWindow() const
{
    return m_form16.existing();
}

void AutomationController::ajustesGuardados()
{
    // The timer and the caption stay: sending that is on goes on with the new settings.
    if (m_comenzar)
        m_comenzar->setEnabled(true);
}

CheckResult AutomationController::Timer1_Timer()
{
    // First, whatever follows: a box below runs its own event loop, and the shortened interval
    // left by a reply must not keep ticking under it.
    m_timer.setInterval(kOneMinute);

    if (!m_countdown.bajar())
        return CheckResult::NoToca;

    CheckResult result = CheckResult::EnviaCola;
    if (m_panel.pendientes() > 0) {
        // The send line refuses while a send awaits its reply; that reply sends the entry.
        m_panel.f_enviar_automatizados();
    } else if (const std::optional<Ajustes> settings = leerAjustes(m_context.conexion)) {
        m_countdown.reiniciar(settings->minutos);
        if (settings->delimitador.isEmpty())
            result = CheckResult::SinAjustes;
        else if (settings->archivo.isEmpty() || !QFileInfo::exists(settings->archivo))
            result = CheckResult::SinArchivo;
        else
            result = f_leer_automatizados(settings->archivo, settings->delimitador);
    } else {
        // The row went away between two checks: look again at the next tick.
        result = CheckResult::SinAjustes;
    }
    Q_EMIT revisado(result);
    return result;
}

CheckResult AutomationController::f_leer_automatizados(const QString &file, const QString &separator)
{
    const std::optional<sending::AccountValues> account = sending::leerCuentaEnvio(m_context.conexion);
    if (account)
        Q_EMIT credencialesLeidas(account->login, account->pass);
    if (!account || account->login.isEmpty()) {
        // Ticks go on under the box; one box at a time is enough.
        if (!m_avisando) {
            const QScopedValueRollback notice(m_avisando, true);
            m_context.prompter.message(QStringLiteral("Introduzca primero los datos de usuario en Archivo->Configuración"),
                                       {}, ui::Icon::Warning);
        }
        return CheckResult::SinCuenta;
    }

    const Toma take = tomarArchivo(file, separator, m_clock());
    if (take.estado != TakeStatus::Tomado) {
        // Logged once while the same trouble lasts, not at every check.
        if (take.estado != m_ultimaToma)
            anotar(textoToma(take, file));
        m_ultimaToma = take.estado;
        return CheckResult::NoTomado;
    }
    m_ultimaToma = TakeStatus::Tomado;

    for (const Entrada &entry : take.lectura.entradas)
        m_panel.enqueue(entry.numeros, entry.mensaje);
    for (const Descarte &discard : take.lectura.descartes)
        anotar(textoDescarte(discard));
    m_panel.f_enviar_automatizados();
    return CheckResult::Leido;
}

void AutomationController::anotar(const QString &text)
{
    sending::anotarErrorAuto(m_context.ruta_programa,
                             m_clock().toString(QStringLiteral("dd/MM/yyyy H:mm:ss")) + QStringLiteral("--- ") + text
                                 + QStringLiteral("\r\n"));
}

} // namespace automation
