#pragma once

#include "updater/client_processes.h"
#include "updater/install_record.h"
#include "updater/self_check.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace ui {
class Prompter;
class Shell;
} // namespace ui

namespace updater {

// The moments of an installation after which the program folder is in a new state; an updater ended
// between two of them leaves the folder in the state of the last one reached.
enum class InstallStep {
    PreviousKept,     // the installed client also at previousPath()
    VersionRecorded,  // the new release's statement in the install record, on disk
    Swapped,          // the new client in the client's place
    SelfCheckStarted, // the new client is being run with selfCheckArgument()
    ClientStarted,    // the new client started for real; its start-up confirmation is awaited
    WindowShown,      // the new client's window is up; it runs a while before the previous one goes
    StatementKept,    // the new client's statement beside it
};

// Puts a checked download in the client's place and makes sure the new client runs, keeping the
// previous one until then: record the new version, swap, self-check, start, wait for the new client
// to say its window is up and then for it to run a while (or end normally), and only then let the
// previous one go. Whatever fails on the way puts the previous client back. Every wait (for clients
// to end included) runs on the event loop, so the window keeps answering. The caller holds the
// folder's install lock (install_lock.h) throughout.
class Installer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Installer)

public:
    Installer(ui::Prompter &prompter, ui::Shell &shell, QObject *parent = nullptr);

    void setPublicKey(const QByteArray &publicKey) { m_publicKey = publicKey; }
    // How long a running client gets to end by itself before it is forced.
    void setClientGrace(std::chrono::milliseconds grace) { m_clientGrace = grace; }
    // How long the new client gets to prove that it runs (self_check.h).
    void setSelfCheckLimit(std::chrono::milliseconds limit) { m_selfCheckLimit = limit; }
    // A monotonic clock; tests move it by hand.
    using Clock = std::function<std::chrono::milliseconds()>;
    void setClock(Clock clock);

    // Installs `download`, a checked download whose signed statement lies beside it, in place of the
    // client at `target`. finished() follows, never from inside this call.
    void install(const QString &target, const QString &download);
    // Finishes or undoes an installation at `target` that an ended updater left half done: a new
    // client left unproven is proven (and kept, or the previous one put back); a swap that never took
    // place is carried out with the checked download left for it, or tidied away quietly; an
    // installation that had finished is only tidied. The install record is set to the release in
    // place, and what ended runs left behind goes. True when finished() will follow.
    bool resume(const QString &target);

    bool isRunning() const { return m_running; }

    // How the running clients are found (client_processes.h); tests replace it to choose the moment
    // a client ends.
    using ProcessLister = std::function<QList<qint64>(const QString &executablePath)>;
    void setProcessLister(ProcessLister lister) { m_processLister = std::move(lister); }

Q_SIGNALS:
    void stepReached(updater::InstallStep step);
    void finished(bool replaced);

private:
    enum class Watch { Window, Probation };

    void endClientsThen(std::function<void()> next);
    void swapIn();
    QString pendingRelease() const;
    QString statementOfTarget() const;
    void prove();
    void onSelfCheckFinished(const SelfCheckResult &result);
    void onStartPoll();
    void succeed();
    void takeBack(const QString &problem);
    void fail(const QString &message);
    void end(bool replaced);
    void removeMarkers();
    QString settleRecordText();
    QString failedText() const;

    ui::Prompter &m_prompter;
    ui::Shell &m_shell;
    QByteArray m_publicKey;
    ProcessLister m_processLister = clientProcesses;
    Clock m_clock;
    SelfCheck m_selfCheck;
    ClientEnder m_ender;
    std::function<void()> m_afterEnding;
    QTimer m_startPoll;
    Watch m_watch = Watch::Window;
    std::chrono::milliseconds m_watchFrom{0};
    std::chrono::milliseconds m_clientGrace{3000};
    std::chrono::milliseconds m_selfCheckLimit{30000};
    // How long the started client gets to say that its window is up (brand/start_marker.h): a busy
    // machine's cold start of a client with a large database takes long.
    std::chrono::milliseconds m_startLimit{120000};
    // How long the new client must run after its window is up before the previous one goes: a
    // client that crashes soon after its window is up is not kept.
    std::chrono::milliseconds m_probation{10000};
    QString m_target;
    // The checked download being installed; empty when finishing another updater's work.
    QString m_download;
    // The record before this installation raised it; unknown when finishing another updater's work.
    std::optional<RecordSnapshot> m_recordBefore;
    bool m_kept = false;
    bool m_running = false;
};

} // namespace updater

Q_DECLARE_METATYPE(updater::InstallStep)
