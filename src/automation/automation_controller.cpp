#include "automation/automation_controller.h"

#include "automation/automation_settings_dialog.h"
#include "automation/settings_store.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"
#include "sending/panel/account_row.h"
#include "sending/panel/send_line.h"
#include "sending/panel/send_panel_controller.h"
#include "sending/send_reply.h"

#include <QAction>
#include <QScopedValueRollback>

namespace automation {
namespace {

constexpr int kOneMinute = 60000;
const QString kStartCaption = QStringLiteral("Comenzar");
const QString kStopCaption = QStringLiteral("Detener");

} // namespace

AutomationController::AutomationController(seams::AppContext &context, sending::SendPanelController &panel,
                                           QObject *parent)
    : QObject(parent), m_context(context), m_panel(panel), m_clock([] { return QDateTime::currentDateTime(); })
{
    m_checkTimer.setObjectName(QStringLiteral("Timer1"));
    m_checkTimer.setInterval(kOneMinute);
    connect(&m_checkTimer, &QTimer::timeout, this, [this] { tick(); });
    m_restTimer.setSingleShot(true);
    m_restTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_restTimer, &QTimer::timeout, this, &AutomationController::takeRestedFile);

    // After each handled automated reply with entries left, a tick follows at once: it counts a
    // minute off and puts the interval back (the reply itself sends the next entry).
    connect(&panel.sendLine(), &sending::SendLine::replyHandled, this, [this](sending::ReplyKind kind) {
        if (kind != sending::ReplyKind::NoConnection && m_panel.isAutomated() && (m_panel.queuedCount() > 0 || m_moreInFile))
            m_checkTimer.setInterval(1);
    });
}

AutomationController::~AutomationController() = default;

void AutomationController::setMenuItem(QAction *startAction)
{
    m_startAction = startAction;
}

QString AutomationController::caption() const
{
    if (m_startAction)
        return m_startAction->text();
    return m_checkTimer.isActive() ? kStopCaption : kStartCaption;
}

seams::Automation::State AutomationController::restoreAtStartup()
{
    const std::optional<AutomationSettings> settings = readSettings(m_context.connection);
    if (!settings)
        return {false, false};
    if (settings->active != QLatin1String("1"))
        return {true, false};
    m_countdown.reset(settings->minutes);
    m_checkTimer.start(kOneMinute);
    return {true, true};
}

void AutomationController::toggle()
{
    if (caption() == kStartCaption) {
        const std::optional<AutomationSettings> settings = readSettings(m_context.connection);
        // A new database's row names no file and no separator: no settings yet, as no row.
        if (!settings || settings->file.isEmpty() || settings->separator.isEmpty()) {
            if (m_startAction)
                m_startAction->setEnabled(false);
            openSettings();
            return;
        }
        m_countdown.reset(settings->minutes);
        m_checkTimer.start(kOneMinute);
        if (m_startAction)
            m_startAction->setText(kStopCaption);
        markActive(m_context.connection, true);
        return;
    }
    // Switching off leaves the queue alone: what is queued goes on going out reply by reply.
    m_countdown.set(0);
    if (m_startAction)
        m_startAction->setText(kStartCaption);
    m_checkTimer.stop();
    markActive(m_context.connection, false);
}

void AutomationController::openSettings()
{
    m_settingsDialog.show([this] {
        auto *window = new AutomationSettingsDialog(m_context);
        connect(window, &AutomationSettingsDialog::saved, this, &AutomationController::onSettingsSaved);
        return window;
    });
}

AutomationSettingsDialog *AutomationController::settingsWindow() const
{
    return m_settingsDialog.existing();
}

void AutomationController::onSettingsSaved()
{
    // The timer and the caption stay: sending that is on goes on with the new settings.
    if (m_startAction)
        m_startAction->setEnabled(true);
}

CheckResult AutomationController::tick()
{
    // First, whatever follows: a box below runs its own event loop, and the shortened interval
    // left by a reply must not keep ticking under it.
    m_checkTimer.setInterval(kOneMinute);

    // A file read in pieces goes on at the next tick with an empty queue, not an interval later.
    if (!m_moreInFile && !m_countdown.countDown())
        return CheckResult::NotDue;

    CheckResult result = CheckResult::SentFromQueue;
    if (m_panel.queuedCount() > 0) {
        // The send line refuses while a send awaits its reply; that reply sends the entry.
        m_panel.sendNextQueued();
    } else if (const std::optional<AutomationSettings> settings = readSettings(m_context.connection)) {
        m_countdown.reset(settings->minutes);
        if (settings->separator.isEmpty())
            result = CheckResult::NoSettings;
        else if (!hasFileToTake(settings->file))
            result = CheckResult::NoFile;
        else
            result = readWatchedFile(settings->file, settings->separator);
    } else {
        // The row went away between two checks: look again at the next tick.
        result = CheckResult::NoSettings;
    }
    Q_EMIT checkDone(result);
    return result;
}

CheckResult AutomationController::readWatchedFile(const QString &file, const QString &separator)
{
    const std::optional<sending::AccountValues> account = sending::readSendAccount(m_context.connection);
    if (account)
        Q_EMIT credentialsRead(account->login, account->pass);
    if (!account || account->login.isEmpty()) {
        // Ticks go on under the box; one box at a time is enough.
        if (!m_showingNotice) {
            const QScopedValueRollback notice(m_showingNotice, true);
            m_context.prompter.message(QStringLiteral("Introduzca primero los datos de usuario en Archivo->Configuración"),
                                       {}, ui::Icon::Warning);
        }
        return CheckResult::NoAccount;
    }

    const FileTake take = m_taker.take(file, separator, m_clock());
    m_moreInFile = take.status == TakeStatus::Taken && take.more;
    if (take.status == TakeStatus::Gone || take.status == TakeStatus::Kept)
        return CheckResult::NoFile;
    if (take.status == TakeStatus::Resting) {
        // Moved aside and settling: taken again as soon as it may have rested. A timer that fires
        // a little early only finds it settling still and comes back.
        m_restTimer.start(int(take.wait.count()) + 1);
        return CheckResult::NotTaken;
    }
    if (take.status != TakeStatus::Taken) {
        // Logged once while the same trouble lasts, not at every check.
        if (take.status != m_lastTakeStatus)
            logError(takeErrorText(take, file));
        m_lastTakeStatus = take.status;
        return CheckResult::NotTaken;
    }
    m_lastTakeStatus = TakeStatus::Taken;

    for (const QueuedSend &entry : take.reading.sends)
        m_panel.enqueue(entry.numbers, entry.message);
    for (const Discard &discard : take.reading.discards)
        logError(discardText(discard));
    if (m_moreInFile && m_panel.queuedCount() == 0)
        m_checkTimer.setInterval(1); // every line of the piece logged: the next piece at once
    m_panel.sendNextQueued();
    return CheckResult::Read;
}

void AutomationController::takeRestedFile()
{
    // Switched off meanwhile, or entries are queued: the next check takes it.
    if (!m_checkTimer.isActive() || m_panel.queuedCount() > 0)
        return;
    const std::optional<AutomationSettings> settings = readSettings(m_context.connection);
    if (!settings || settings->separator.isEmpty() || !hasFileToTake(settings->file))
        return;
    Q_EMIT checkDone(readWatchedFile(settings->file, settings->separator));
}

void AutomationController::logError(const QString &text)
{
    sending::appendAutomatedError(m_context.programFolder, sending::errorLogLine(m_clock(), text));
}

} // namespace automation
