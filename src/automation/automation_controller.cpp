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

constexpr int kUnMinuto = 60000;
const QString kComenzar = QStringLiteral("Comenzar");
const QString kDetener = QStringLiteral("Detener");

} // namespace

AutomationController::AutomationController(startup::AppContext &context, sending::SendPanelController &panel,
                                           QObject *parent)
    : QObject(parent), m_context(context), m_panel(panel), m_clock([] { return QDateTime::currentDateTime(); })
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setInterval(kUnMinuto);
    connect(&m_timer, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    // After each handled automated reply with entries left, a tick follows at once: it counts a
    // minute off and puts the interval back (the reply itself sends the next entry).
    connect(&panel.sendLine(), &sending::SendLine::replyHandled, this, [this](sending::ReplyKind kind) {
        if (kind != sending::ReplyKind::NoConnection && m_panel.automatizado() && m_panel.pendientes() > 0)
            m_timer.setInterval(1);
    });
}

AutomationController::~AutomationController() = default;

void AutomationController::setMenuItem(QAction *comenzar)
{
    m_comenzar = comenzar;
}

QString AutomationController::caption() const
{
    if (m_comenzar)
        return m_comenzar->text();
    return m_timer.isActive() ? kDetener : kComenzar;
}

startup::Automation::State AutomationController::restoreAtStartup()
{
    const std::optional<Ajustes> ajustes = leerAjustes(m_context.conexion);
    if (!ajustes)
        return {false, false};
    if (ajustes->activo != QLatin1String("1"))
        return {true, false};
    m_countdown.reiniciar(ajustes->minutos);
    m_timer.start(kUnMinuto);
    return {true, true};
}

void AutomationController::toggle()
{
    if (caption() == kComenzar) {
        const std::optional<Ajustes> ajustes = leerAjustes(m_context.conexion);
        // A new database's row names no file and no separator: no settings yet, as no row.
        if (!ajustes || ajustes->archivo.isEmpty() || ajustes->delimitador.isEmpty()) {
            if (m_comenzar)
                m_comenzar->setEnabled(false);
            openSettings();
            return;
        }
        m_countdown.reiniciar(ajustes->minutos);
        m_timer.start(kUnMinuto);
        if (m_comenzar)
            m_comenzar->setText(kDetener);
        marcarActivo(m_context.conexion, true);
        return;
    }
    // Switching off leaves the queue alone: what is queued goes on going out reply by reply.
    m_countdown.poner(0);
    if (m_comenzar)
        m_comenzar->setText(kComenzar);
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

Revision AutomationController::Timer1_Timer()
{
    // First, whatever follows: a box below runs its own event loop, and the shortened interval
    // left by a reply must not keep ticking under it.
    m_timer.setInterval(kUnMinuto);

    if (!m_countdown.bajar())
        return Revision::NoToca;

    Revision revision = Revision::EnviaCola;
    if (m_panel.pendientes() > 0) {
        // The send line refuses while a send awaits its reply; that reply sends the entry.
        m_panel.f_enviar_automatizados();
    } else if (const std::optional<Ajustes> ajustes = leerAjustes(m_context.conexion)) {
        m_countdown.reiniciar(ajustes->minutos);
        if (ajustes->delimitador.isEmpty())
            revision = Revision::SinAjustes;
        else if (ajustes->archivo.isEmpty() || !QFileInfo::exists(ajustes->archivo))
            revision = Revision::SinArchivo;
        else
            revision = f_leer_automatizados(ajustes->archivo, ajustes->delimitador);
    } else {
        // The row went away between two checks: look again at the next tick.
        revision = Revision::SinAjustes;
    }
    Q_EMIT revisado(revision);
    return revision;
}

Revision AutomationController::f_leer_automatizados(const QString &archivo, const QString &delimitador)
{
    const std::optional<sending::AccountValues> cuenta = sending::leerCuentaEnvio(m_context.conexion);
    if (cuenta)
        Q_EMIT credencialesLeidas(cuenta->login, cuenta->pass);
    if (!cuenta || cuenta->login.isEmpty()) {
        // Ticks go on under the box; one box at a time is enough.
        if (!m_avisando) {
            const QScopedValueRollback avisando(m_avisando, true);
            m_context.prompter.message(QStringLiteral("Introduzca primero los datos de usuario en Archivo->Configuración"),
                                       {}, ui::Icon::Warning);
        }
        return Revision::SinCuenta;
    }

    const Toma toma = tomarArchivo(archivo, delimitador, m_clock());
    if (toma.estado != TomaEstado::Tomado) {
        // Logged once while the same trouble lasts, not at every check.
        if (toma.estado != m_ultimaToma)
            anotar(textoToma(toma, archivo));
        m_ultimaToma = toma.estado;
        return Revision::NoTomado;
    }
    m_ultimaToma = TomaEstado::Tomado;

    for (const Entrada &entrada : toma.lectura.entradas)
        m_panel.enqueue(entrada.numeros, entrada.mensaje);
    for (const Descarte &descarte : toma.lectura.descartes)
        anotar(textoDescarte(descarte));
    m_panel.f_enviar_automatizados();
    return Revision::Leido;
}

void AutomationController::anotar(const QString &texto)
{
    sending::anotarErrorAuto(m_context.ruta_programa,
                             m_clock().toString(QStringLiteral("dd/MM/yyyy H:mm:ss")) + QStringLiteral("--- ") + texto
                                 + QStringLiteral("\r\n"));
}

} // namespace automation
