#include "platform/files/moving.h"

#include "platform/files/file_state.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

#ifdef Q_OS_LINUX
#include <linux/fs.h>
#endif

namespace files {
namespace {

MoveResult fromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return MoveResult::SourceGone;
    case EEXIST:
        return MoveResult::TargetExists;
    default:
        return MoveResult::Failed;
    }
}

// link() then unlink(): the second name is made without replacing anything, and whoever removes
// the first name owns the file. A program that finds the first name gone, or holding another file
// by then, lets go of its second name again.
MoveResult linkThenUnlink(const QByteArray &from, const QByteArray &to, const std::function<void()> &afterLink = {})
{
#ifdef Q_OS_WIN
    // Windows renames without replacing unless told to.
    (void)afterLink;
    if (QFile::exists(QFile::decodeName(to)))
        return MoveResult::TargetExists;
    return QFile::rename(QFile::decodeName(from), QFile::decodeName(to)) ? MoveResult::Moved : MoveResult::Failed;
#else
    const std::optional<FileState> before = fileState(QFile::decodeName(from));
    if (!before)
        return MoveResult::SourceGone;
    if (::link(from.constData(), to.constData()) != 0)
        return fromErrno(errno);
    if (afterLink)
        afterLink();
    const std::optional<FileState> linked = fileState(QFile::decodeName(to));
    const std::optional<FileState> source = fileState(QFile::decodeName(from));
    if (!linked || !source || !source->sameFile(*linked)) {
        ::unlink(to.constData());
        return MoveResult::SourceGone;
    }
    if (::unlink(from.constData()) != 0) {
        const int error = errno;
        ::unlink(to.constData());
        return fromErrno(error);
    }
    return MoveResult::Moved;
#endif
}

} // namespace

MoveResult moveWithoutReplacing(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#ifdef Q_OS_LINUX
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return MoveResult::Moved;
    // File systems that cannot refuse inside the rename say so; every other error is the answer.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return fromErrno(errno);
#endif
    return linkThenUnlink(source, target);
}

MoveResult moveByLinking(const QString &from, const QString &to)
{
    return linkThenUnlink(QFile::encodeName(from), QFile::encodeName(to));
}

MoveResult moveByLinkingThrough(const QString &from, const QString &to, const std::function<void()> &between)
{
    return linkThenUnlink(QFile::encodeName(from), QFile::encodeName(to), between);
}

} // namespace files
