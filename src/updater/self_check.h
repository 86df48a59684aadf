#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <chrono>

// Whether an installed client can run on this machine. Starting it is not proof: a client that
// lacks a shared library starts and ends at once. So it is run once with selfCheckArgument(), which
// makes it load everything it needs, reach the window system and end successfully at once.
namespace updater {

// "--self-check".
QString selfCheckArgument();

struct SelfCheckResult {
    bool ok = false;
    QString problem; // Spanish, fit to follow "no se ha podido iniciar", when not ok
};

// One run of the check, driven by the event loop: the updater's window keeps answering meanwhile.
class SelfCheck final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SelfCheck)

public:
    explicit SelfCheck(QObject *parent = nullptr);
    ~SelfCheck() override;

    // Runs `program` with selfCheckArgument() and waits up to `limit`, once it is running, for it to
    // end with code 0; one that takes longer is ended and counts as failed. finished() follows in
    // every case, never from inside this call. Ignored while a check runs.
    void start(const QString &program, std::chrono::milliseconds limit);
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    void finished(const updater::SelfCheckResult &result);

private:
    void onStarted();
    void onErrorOccurred(QProcess::ProcessError error);
    void onProcessFinished(int exitCode, QProcess::ExitStatus status);
    void onTimeout();
    void finish(SelfCheckResult result);

    QProcess m_process;
    QTimer m_limit;
    bool m_running = false;
    bool m_timedOut = false;
};

} // namespace updater

Q_DECLARE_METATYPE(updater::SelfCheckResult)
