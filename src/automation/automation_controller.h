#pragma once

#include "automation/countdown.h"
#include "automation/file_taking.h"
#include "automation/form16.h"
#include "platform/ui/single_instance.h"
#include "startup/subsystems.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QAction;

namespace startup { struct AppContext; }
namespace sending { class SendPanelController; }

// Automated sending from the watched file: the main window's start/stop item, the one-minute timer
// (objectName `Timer1`, its countdown once its `Tag`) and each check of the file, whose entries are queued on the
// send panel's automated queue. The settings window is opened from here too.
namespace automation {

// What one check of the watched file did.
enum class CheckResult {
    NoToca,        // the countdown has not run out
    EnviaCola,     // entries were still queued: the next one was sent
    SinAjustes,    // the settings row is missing or holds no separator
    SinArchivo,    // no file at the path
    SinCuenta,     // no account user name: the file stays
    NoTomado,      // the file could not be taken (see TakeStatus): it stays
    Leido          // the file was read, copied, deleted and its entries queued
};

class AutomationController final : public QObject, public startup::Automation {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AutomationController)

public:
    AutomationController(startup::AppContext &context, sending::SendPanelController &panel,
                         QObject *parent = nullptr);
    ~AutomationController() override;

    // The main window's `mnuAutomatizar_Comenzar`: its caption says whether sending is on.
    void setMenuItem(QAction *startAction);

    // startup::Automation
    State restoreAtStartup() override;
    void toggle() override;

    // The settings window, one at a time, modeless.
    void openSettings();
    Form16 *settingsWindow() const;

    // One tick of the check timer.
    CheckResult Timer1_Timer();
    // Reads the watched file: its entries into the queue, then the first one sent.
    CheckResult f_leer_automatizados(const QString &file, const QString &separator);

    QTimer &timer() { return m_timer; }
    int countdown() const { return m_countdown.valor(); }
    bool isOn() const { return m_timer.isActive(); }
    // What the last failed take left the file as (for the log and the tests).
    TakeStatus ultimaToma() const { return m_ultimaToma; }

    // Local time for the copy's name and the log; tests pin it.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    // The account row read by a check (the main window's `usuario_login` / `usuario_pass`).
    void credencialesLeidas(const QString &login, const QString &pass);
    // One check ran (the tick that ran out the countdown).
    void revisado(automation::CheckResult result);

private:
    void anotar(const QString &text);
    void ajustesGuardados();
    QString caption() const;

    startup::AppContext &m_context;
    sending::SendPanelController &m_panel;
    QPointer<QAction> m_comenzar;
    QTimer m_timer;
    Countdown m_countdown;
    ui::SingleInstance<Form16> m_form16;
    std::function<QDateTime()> m_clock;
    TakeStatus m_ultimaToma = TakeStatus::Tomado;
    bool m_avisando = false;
};

} // namespace automation
