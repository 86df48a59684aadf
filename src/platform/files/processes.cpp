#include "platform/files/processes.h"

#include <QByteArray>
#include <QFile>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <unistd.h>

#include <memory>
#endif

namespace files {

#ifdef Q_OS_LINUX

QList<qint64> processIds()
{
    struct DirCloser {
        void operator()(DIR *dir) const { ::closedir(dir); }
    };
    const std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    QList<qint64> ids;
    if (!proc)
        return ids;
    while (const dirent *entry = ::readdir(proc.get())) {
        bool isNumber = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&isNumber);
        if (isNumber && pid > 0)
            ids.append(pid);
    }
    return ids;
}

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

#else

QList<qint64> processIds()
{
    return {};
}

QString executableOf(qint64 pid)
{
    Q_UNUSED(pid);
    return {};
}

#endif

} // namespace files
