#include "platform/files/file_state.h"

#include <QFile>

#include <sys/stat.h>

namespace files {

std::optional<FileState> fileState(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    FileState state;
    state.device = quint64(info.st_dev);
    state.inode = quint64(info.st_ino);
    state.size = qint64(info.st_size);
#ifdef Q_OS_LINUX
    state.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec);
#else
    state.modifiedNs = qint64(info.st_mtime) * 1000000000;
#endif
    return state;
}

} // namespace files
