#include "support/permissions_apply.h"

#include <QFile>

#include <utility>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace testing {

namespace {

#ifdef Q_OS_LINUX
// The capabilities that let root past file permissions.
constexpr quint32 kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

bool readCaps(__user_cap_header_struct &header, __user_cap_data_struct (&data)[2])
{
    header = {_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

// Lowers (`on` false) or raises again the overriding capabilities of the calling thread.
bool setOverrides(bool on, bool *wereOn)
{
    __user_cap_header_struct header{};
    __user_cap_data_struct data[2]{};
    if (!readCaps(header, data))
        return false;
    if (wereOn)
        *wereOn = (data[0].effective & kOverrides) != 0;
    data[0].effective = on ? (data[0].effective | (data[0].permitted & kOverrides)) : (data[0].effective & ~kOverrides);
    return ::syscall(SYS_capset, &header, data) == 0;
}
#endif

} // namespace

PermissionsApply::PermissionsApply()
{
#ifdef Q_OS_LINUX
    m_active = setOverrides(false, &m_lowered);
#else
    m_active = true;
#endif
}

PermissionsApply::~PermissionsApply()
{
#ifdef Q_OS_LINUX
    if (m_active && m_lowered)
        setOverrides(true, nullptr);
#endif
}

WithoutWritePermission::WithoutWritePermission(QString path) : m_path(std::move(path))
{
    m_before = QFile::permissions(m_path);
    const QFileDevice::Permissions writes =
        QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    m_ok = QFile::setPermissions(m_path, m_before & ~writes);
}

WithoutWritePermission::~WithoutWritePermission()
{
    if (m_ok)
        QFile::setPermissions(m_path, m_before);
}

} // namespace testing
