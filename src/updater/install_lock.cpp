#include "updater/install_lock.h"

#include "platform/files/durable_write.h"
#include "updater/update_target.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace updater {

QString updateRunningMessage()
{
    return QStringLiteral("Ya hay otra actualización de ") + productWord()
           + QStringLiteral(" Desktop en marcha en esta carpeta. Espere a que termine; esta no ha cambiado nada.");
}

InstallLock::~InstallLock()
{
    release();
}

QString InstallLock::take(const QString &target)
{
    m_busy = false;
    if (held() && m_target == target)
        return {};
    release();
    const QString path = QFileInfo(target).absolutePath();
    // Not inherited by the clients and checks the updater starts: they would hold it after it ended.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("no se puede abrir %1: %2").arg(path, files::systemReason(errno));
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        m_busy = error == EWOULDBLOCK;
        return m_busy ? updateRunningMessage()
                      : QStringLiteral("no se puede bloquear %1: %2").arg(path, files::systemReason(error));
    }
    m_fd = fd;
    m_target = target;
    return {};
}

void InstallLock::release()
{
    if (m_fd < 0)
        return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
    m_target.clear();
}

} // namespace updater
