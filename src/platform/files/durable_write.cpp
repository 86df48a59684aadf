#include "platform/files/durable_write.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {
namespace {

// A descriptor closed on scope exit unless it was closed (and checked) already.
class Descriptor final {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // A close can report a write the kernel could not store after all (network file systems).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

// A short count is tried again from where it stopped; a write that stores nothing is a full disk.
int writeBytes(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        data += written;
        size -= written;
    }
    return 0;
}

// What the file holds now, read through a descriptor of its own; false when it cannot be read.
bool holdsExactly(const QByteArray &path, const QByteArray &bytes, int *error)
{
    Descriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        *error = errno;
        return false;
    }
    QByteArray read(bytes.size() + 1, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < read.size()) {
        const ssize_t got = ::read(fd.get(), read.data() + total, size_t(read.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *error = errno;
            return false;
        }
        if (got == 0)
            break;
        total += got;
    }
    *error = 0;
    return total == bytes.size() && std::memcmp(read.constData(), bytes.constData(), size_t(total)) == 0;
}

} // namespace

int writeAll(int descriptor, const QByteArray &bytes)
{
    return writeBytes(descriptor, bytes.constData(), bytes.size());
}

int syncDescriptor(int descriptor)
{
    return ::fsync(descriptor) == 0 ? 0 : errno;
}

QString systemReason(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

QString durableWritePrefix(const QString &path)
{
    return path + QStringLiteral(".nuevo.");
}

QString writeDurably(const QString &path, const QByteArray &bytes)
{
    QByteArray temporary = QFile::encodeName(durableWritePrefix(path)) + "XXXXXX";
    Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid())
        return systemReason(errno);
    const auto giveUp = [&temporary](int error) {
        ::unlink(temporary.constData());
        return systemReason(error);
    };
    // mkostemp() makes the file for its owner only; the file it replaces keeps who may read it.
    struct stat existing {};
    const bool replaces = ::stat(QFile::encodeName(path).constData(), &existing) == 0;
    ::fchmod(fd.get(), replaces ? (existing.st_mode & 07777) : mode_t(0644));
    if (const int error = writeAll(fd.get(), bytes))
        return giveUp(error);
    if (::fsync(fd.get()) != 0)
        return giveUp(errno);
    if (!fd.close())
        return giveUp(errno);
    int readError = 0;
    if (!holdsExactly(temporary, bytes, &readError)) {
        if (readError)
            return giveUp(readError);
        ::unlink(temporary.constData());
        return QStringLiteral("lo que se ha vuelto a leer no coincide con lo escrito");
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        return giveUp(errno);
    syncFolderOf(path);
    return {};
}

void syncFolderOf(const QString &file)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    Descriptor fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

} // namespace files
