#include "automation/open_for_writing.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <memory>
#endif

namespace automation {

#ifdef Q_OS_LINUX
namespace {

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool allDigits(const char *name)
{
    if (*name == '\0')
        return false;
    for (; *name; ++name) {
        if (!std::isdigit(static_cast<unsigned char>(*name)))
            return false;
    }
    return true;
}

// The access mode of one open descriptor, from the "flags:" line (octal) of its fdinfo.
bool writable(const QByteArray &fdinfo)
{
    QFile info(QFile::decodeName(fdinfo));
    if (!info.open(QIODevice::ReadOnly))
        return false; // closed meanwhile
    const QByteArray text = info.read(4096);
    const qsizetype at = text.indexOf("flags:");
    if (at < 0)
        return false;
    qsizetype end = text.indexOf('\n', at);
    if (end < 0)
        end = text.size();
    bool ok = false;
    const int flags = text.mid(at + 6, end - at - 6).trimmed().toInt(&ok, 8);
    return ok && (flags & O_ACCMODE) != O_RDONLY;
}

bool descriptorsHold(const QByteArray &process, const QByteArray &target)
{
    const QByteArray fdFolder = "/proc/" + process + "/fd/";
    const DirHandle fds(::opendir(fdFolder.constData()));
    if (!fds)
        return false; // gone, or another user's
    QByteArray link(4096, Qt::Uninitialized);
    while (const dirent *entry = ::readdir(fds.get())) {
        if (!allDigits(entry->d_name))
            continue;
        const QByteArray fd = fdFolder + entry->d_name;
        const ssize_t length = ::readlink(fd.constData(), link.data(), size_t(link.size()));
        if (length <= 0 || length >= link.size() || length != target.size()
            || link.left(length) != target)
            continue;
        if (writable("/proc/" + process + "/fdinfo/" + entry->d_name))
            return true;
    }
    return false;
}

} // namespace

bool heldOpenForWriting(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    const QByteArray target = QFile::encodeName(canonical);
    const DirHandle processes(::opendir("/proc"));
    if (!processes)
        return false;
    while (const dirent *entry = ::readdir(processes.get())) {
        if (allDigits(entry->d_name) && descriptorsHold(entry->d_name, target))
            return true;
    }
    return false;
}

#else

bool heldOpenForWriting(const QString &path)
{
    (void)path;
    return false;
}

#endif

} // namespace automation
