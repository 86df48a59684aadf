#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

// The running clients, found by the file they were started from. Names are no good here: Linux
// cuts a process name to 15 characters, and a program of the same name may live in another folder.
namespace updater {

// The processes whose executable is the given file (also when that file has since been replaced
// or deleted), never the calling process itself. Empty when processes cannot be listed.
QList<qint64> clientProcesses(const QString &executablePath);

// Ends the running clients without holding up the caller's event loop: asks every process of the
// given file to end, gives them `grace`, then forces those still running and waits again as long.
// The end of each process is seen the moment it happens (its pidfd becomes readable), so the window
// keeps answering meanwhile and nothing waits longer than needed. Problems are not reported: the
// update goes on in any case.
class ClientEnder final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClientEnder)

public:
    explicit ClientEnder(QObject *parent = nullptr);
    ~ClientEnder() override;

    // finished() follows in every case, never from inside this call. Ignored while a run goes on.
    void start(const QString &executablePath, std::chrono::milliseconds grace);
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    // How many of the processes asked to end are known to have ended.
    void finished(int ended);

private:
    struct Watched;
    void onEnded(int handle);
    void onGraceOver();
    void finish();

    std::vector<std::unique_ptr<Watched>> m_watched;
    QTimer m_grace;
    int m_asked = 0;
    bool m_forced = false;
    bool m_running = false;
};

} // namespace updater
