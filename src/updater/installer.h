#pragma once

#include "updater/client_processes.h"
#include "updater/install_record.h"
#include "updater/self_check.h"

#include <QByteArray>
#include <QElapsedTimer>
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
    StatementKept,    // the new client's statement beside it
};

// Puts a checked download in the client's place and makes sure the new client runs, keeping the
// previous one until then: record the new version, swap, self-check, start, wait for the new client
// to say its window is up, and only then let the previous one go. Whatever fails on the way puts the
// previous client back. Every wait runs on the event loop, so the window keeps answering.
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

    // Installs the download at temporaryPath(target), whose signed statement lies beside it and was
    // checked, in place of the client at `target`. finished() follows.
    void install(const QString &target);
    // Finishes or undoes an installation at `target` that an ended updater left half done: a new
    // client left unproven is proven (and kept, or the previous one put back); a swap that never took
    // place is tidied away quietly. True when finished() will follow.
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
    bool pendingReleaseReady() const;
    void prove();
    void onSelfCheckFinished(const SelfCheckResult &result);
    void onStartPoll();
    void succeed();
    void takeBack(const QString &problem);
    void fail(const QString &message);
    void end(bool replaced);
    QString failedText() const;
    QString temporary() const;

    ui::Prompter &m_prompter;
    ui::Shell &m_shell;
    QByteArray m_publicKey;
    ProcessLister m_processLister = clientProcesses;
    SelfCheck m_selfCheck;
    QTimer m_startPoll;
    QElapsedTimer m_startClock;
    std::chrono::milliseconds m_clientGrace{3000};
    std::chrono::milliseconds m_selfCheckLimit{30000};
    // How long the started client gets to say that its window is up (brand/start_marker.h).
    std::chrono::milliseconds m_startLimit{120000};
    QString m_target;
    // The record before this installation raised it; unknown when finishing another updater's work.
    std::optional<RecordSnapshot> m_recordBefore;
    bool m_kept = false;
    bool m_running = false;
};

} // namespace updater

Q_DECLARE_METATYPE(updater::InstallStep)
