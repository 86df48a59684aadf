#include "platform/files/open_writers.h"

#include <QByteArray>
#include <QFile>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <memory>
#endif

namespace files {

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

// Whether one of the process's descriptors is the file, opened for writing. stat() on a
// descriptor's entry reaches the open file itself, renamed or removed as it may be since.
bool descriptorsHold(const QByteArray &process, const FileState &file)
{
    const QByteArray fdFolder = "/proc/" + process + "/fd/";
    const DirHandle fds(::opendir(fdFolder.constData()));
    if (!fds)
        return false; // gone, or not ours to look into
    while (const dirent *entry = ::readdir(fds.get())) {
        if (!allDigits(entry->d_name))
            continue;
        struct stat info {};
        const QByteArray fd = fdFolder + entry->d_name;
        if (::stat(fd.constData(), &info) != 0 || quint64(info.st_dev) != file.device
            || quint64(info.st_ino) != file.inode)
            continue;
        if (writable("/proc/" + process + "/fdinfo/" + entry->d_name))
            return true;
    }
    return false;
}

} // namespace

bool heldOpenForWriting(const FileState &file)
{
    const DirHandle processes(::opendir("/proc"));
    if (!processes)
        return false;
    while (const dirent *entry = ::readdir(processes.get())) {
        if (allDigits(entry->d_name) && descriptorsHold(entry->d_name, file))
            return true;
    }
    return false;
}

#else

bool heldOpenForWriting(const FileState &file)
{
    (void)file;
    return false;
}

#endif

bool heldOpenForWriting(const QString &path)
{
    const std::optional<FileState> state = fileState(path);
    return state && heldOpenForWriting(*state);
}

} // namespace files
