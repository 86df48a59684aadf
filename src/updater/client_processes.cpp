#include "updater/client_processes.h"

#include "platform/files/processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <utility>

namespace updater {
namespace {

using files::executableOf;

// The path the comparison is made on: symbolic links and "." / ".." resolved, as the kernel
// reports a process's executable.
QString comparablePath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

#ifdef Q_OS_LINUX

// A handle on one process that stays with it even if its number is reused; closed on scope exit.
class ProcessHandle final {
public:
    // Through syscall(): the C library's declarations of these calls lack C linkage in C++.
    explicit ProcessHandle(qint64 pid) : m_fd(int(::syscall(SYS_pidfd_open, pid_t(pid), 0U))) {}
    ~ProcessHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ProcessHandle(ProcessHandle &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    ProcessHandle(const ProcessHandle &) = delete;
    ProcessHandle &operator=(const ProcessHandle &) = delete;
    ProcessHandle &operator=(ProcessHandle &&) = delete;

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    bool signal(int number) const { return ::syscall(SYS_pidfd_send_signal, m_fd, number, nullptr, 0U) == 0; }

private:
    int m_fd = -1;
};

#endif

} // namespace

QList<qint64> clientProcesses(const QString &executablePath)
{
    QList<qint64> found;
#ifdef Q_OS_LINUX
    const QString wanted = comparablePath(executablePath);
    const qint64 self = QCoreApplication::applicationPid();
    for (const qint64 pid : files::processIds()) {
        if (pid != self && executableOf(pid) == wanted)
            found.append(pid);
    }
#else
    Q_UNUSED(executablePath);
#endif
    return found;
}

struct ClientEnder::Watched {
#ifdef Q_OS_LINUX
    explicit Watched(ProcessHandle process) : handle(std::move(process)) {}
    ~Watched()
    {
        // It may be the one whose signal is being handled: it goes once that is over, and hears
        // nothing more of a handle about to be closed.
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    Watched(const Watched &) = delete;
    Watched &operator=(const Watched &) = delete;

    ProcessHandle handle;
    QPointer<QSocketNotifier> notifier;
#endif
};

ClientEnder::ClientEnder(QObject *parent) : QObject(parent)
{
    m_grace.setSingleShot(true);
    connect(&m_grace, &QTimer::timeout, this, &ClientEnder::onGraceOver);
}

ClientEnder::~ClientEnder() = default;

void ClientEnder::start(const QString &executablePath, std::chrono::milliseconds grace)
{
    if (m_running)
        return;
    m_running = true;
    m_forced = false;
    m_watched.clear();
#ifdef Q_OS_LINUX
    const QString wanted = comparablePath(executablePath);
    for (const qint64 pid : clientProcesses(executablePath)) {
        ProcessHandle handle(pid);
        // The number may have passed to another program between the listing and the handle; the
        // handle pins the process, so a second look settles it.
        if (!handle.isValid() || executableOf(pid) != wanted || !handle.signal(SIGTERM))
            continue;
        auto watched = std::make_unique<Watched>(std::move(handle));
        const int fd = watched->handle.fd();
        // A pidfd becomes readable when its process ends.
        watched->notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        connect(watched->notifier, &QSocketNotifier::activated, this, [this, fd] { onEnded(fd); });
        m_watched.push_back(std::move(watched));
    }
#else
    Q_UNUSED(executablePath);
#endif
    m_asked = int(m_watched.size());
    if (m_watched.empty()) {
        QMetaObject::invokeMethod(this, &ClientEnder::finish, Qt::QueuedConnection);
        return;
    }
    m_grace.setInterval(grace);
    m_grace.start();
}

void ClientEnder::onEnded(int handle)
{
#ifdef Q_OS_LINUX
    std::erase_if(m_watched, [handle](const std::unique_ptr<Watched> &watched) {
        return watched->handle.fd() == handle;
    });
#else
    Q_UNUSED(handle);
#endif
    if (m_watched.empty())
        finish();
}

void ClientEnder::onGraceOver()
{
    if (m_forced)
        return finish();
    m_forced = true;
#ifdef Q_OS_LINUX
    for (const std::unique_ptr<Watched> &watched : m_watched)
        watched->handle.signal(SIGKILL);
#endif
    m_grace.start();
}

void ClientEnder::finish()
{
    if (!m_running)
        return;
    m_grace.stop();
    const int ended = m_asked - int(m_watched.size());
    m_watched.clear();
    m_running = false;
    Q_EMIT finished(ended);
}

} // namespace updater
