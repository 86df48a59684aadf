#pragma once

#include "automation/automation_settings_dialog.h"
#include "automation/countdown.h"
#include "automation/file_taking.h"
#include "platform/ui/single_instance.h"
#include "seams/subsystems.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QAction;

namespace seams { struct AppContext; }
namespace sending { class SendPanelController; }

// Automated sending from the watched file: the main window's start/stop item, the one-minute timer
// (objectName `Timer1`, its countdown once its `Tag`) and each check of the file, whose entries are queued on the
// send panel's automated queue. The settings window is opened from here too.
namespace automation {

// What one check of the watched file did.
enum class CheckResult {
    NotDue,        // the countdown has not run out
    SentFromQueue,     // entries were still queued: the next one was sent
    NoSettings,    // the settings row is missing or holds no separator
    NoFile,    // no file at the path
    NoAccount,     // no account user name: the file stays
    NotTaken,      // the file could not be taken (see TakeStatus): it stays
    Read          // the file was read, copied, deleted and its entries queued
};

class AutomationController final : public QObject, public seams::Automation {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AutomationController)

public:
    AutomationController(seams::AppContext &context, sending::SendPanelController &panel,
                         QObject *parent = nullptr);
    ~AutomationController() override;

    // The main window's `mnuAutomatizar_Comenzar`: its caption says whether sending is on.
    void setMenuItem(QAction *startAction);

    // seams::Automation
    State restoreAtStartup() override;
    void toggle() override;

    // The settings window, one at a time, modeless.
    void openSettings();
    AutomationSettingsDialog *settingsWindow() const;

    // One tick of the check timer.
    CheckResult tick();
    // Reads the watched file: its entries into the queue, then the first one sent.
    CheckResult readWatchedFile(const QString &file, const QString &separator);

    QTimer &timer() { return m_checkTimer; }
    // Brings the take of a file moved aside back once its quiet period is over, without waiting for
    // the next check: single-shot, started by a check that found the file still settling.
    QTimer &restTimer() { return m_restTimer; }
    FileTaker &fileTaker() { return m_taker; }
    int countdown() const { return m_countdown.value(); }
    bool isOn() const { return m_checkTimer.isActive(); }

    // Local time for the copy's name and the log; tests pin it.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    // The account row read by a check (the main window's `usuario_login` / `usuario_pass`).
    void credentialsRead(const QString &login, const QString &pass);
    // One check ran (the tick that ran out the countdown).
    void checkDone(automation::CheckResult result);

private:
    void logError(const QString &text);
    void onSettingsSaved();
    void takeRestedFile();
    QString caption() const;

    seams::AppContext &m_context;
    sending::SendPanelController &m_panel;
    QPointer<QAction> m_startAction;
    QTimer m_checkTimer;
    QTimer m_restTimer;
    FileTaker m_taker;
    Countdown m_countdown;
    ui::SingleInstance<AutomationSettingsDialog> m_settingsDialog;
    std::function<QDateTime()> m_clock;
    TakeStatus m_lastTakeStatus = TakeStatus::Taken;
    bool m_showingNotice = false;
    bool m_moreInFile = false;   // the last take read a piece, and more of the file may wait
};

} // namespace automation
