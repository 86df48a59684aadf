#include "updater/client_processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <utility>
#include <vector>

namespace updater {
namespace {

// The path the comparison is made on: symbolic links and "." / ".." resolved, as the kernel
// reports a process's executable.
QString comparablePath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

#ifdef Q_OS_LINUX

// The executable of a process, or empty when it cannot be read (gone, another user's, a kernel
// thread). A file replaced or removed after the start reads "<path> (deleted)".
QString executableOf(qint64 pid)
{
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(link.constData(), target.data(), size_t(target.size()));
    if (length <= 0 || length >= target.size())
        return {};
    target.truncate(length);
    static const QByteArray deleted = " (deleted)";
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return QFile::decodeName(target);
}

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

// Waits until every process is gone or the time is up; returns the ones still running.
std::vector<ProcessHandle> waitForEnd(std::vector<ProcessHandle> running, std::chrono::milliseconds limit)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    while (!running.empty()) {
        std::vector<pollfd> watched;
        for (const ProcessHandle &handle : running)
            watched.push_back({handle.fd(), POLLIN, 0});
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        const int ready = ::poll(watched.data(), watched.size(), int(left.count()));
        if (ready < 0 && errno != EINTR)
            break;
        std::vector<ProcessHandle> still;
        for (std::size_t i = 0; i < running.size(); ++i) {
            if (!(watched[i].revents & (POLLIN | POLLHUP | POLLERR)))
                still.push_back(std::move(running[i]));
        }
        running = std::move(still);
    }
    return running;
}

#endif

} // namespace

QList<qint64> clientProcesses(const QString &executablePath)
{
    QList<qint64> found;
#ifdef Q_OS_LINUX
    const QString wanted = comparablePath(executablePath);
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isNumber = false;
        const qint64 pid = entry.toLongLong(&isNumber);
        if (!isNumber || pid == self)
            continue;
        if (executableOf(pid) == wanted)
            found.append(pid);
    }
#else
    Q_UNUSED(executablePath);
#endif
    return found;
}

int endClientProcesses(const QString &executablePath, std::chrono::milliseconds grace)
{
#ifdef Q_OS_LINUX
    const QString wanted = comparablePath(executablePath);
    std::vector<ProcessHandle> asked;
    for (const qint64 pid : clientProcesses(executablePath)) {
        ProcessHandle handle(pid);
        // The number may have passed to another program between the listing and the handle; the
        // handle pins the process, so a second look settles it.
        if (!handle.isValid() || executableOf(pid) != wanted)
            continue;
        if (handle.signal(SIGTERM))
            asked.push_back(std::move(handle));
    }
    const int total = int(asked.size());
    std::vector<ProcessHandle> stubborn = waitForEnd(std::move(asked), grace);
    for (const ProcessHandle &handle : stubborn)
        handle.signal(SIGKILL);
    const int left = int(waitForEnd(std::move(stubborn), grace).size());
    return total - left;
#else
    Q_UNUSED(executablePath);
    Q_UNUSED(grace);
    return 0;
#endif
}

} // namespace updater
