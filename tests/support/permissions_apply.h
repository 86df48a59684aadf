#pragma once

#include <QFileDevice>
#include <QString>

// File permissions that hold for this test even when it runs as root. Root passes every
// permission check through its capabilities; while this object lives the calling thread has
// lowered them (they stay permitted and come back at the end), so a folder or a file without
// write permission refuses writes from this thread as it would a plain user's.
namespace testing {

class PermissionsApply final {
public:
    PermissionsApply();
    ~PermissionsApply();
    PermissionsApply(const PermissionsApply &) = delete;
    PermissionsApply &operator=(const PermissionsApply &) = delete;

    // False when the capabilities could not be lowered: the permissions may not apply.
    bool active() const { return m_active; }

private:
    bool m_active = false;
    bool m_lowered = false;
};

// Takes the write permission from `path` (a file or a folder) while it lives, gives it back at
// the end.
class WithoutWritePermission final {
public:
    explicit WithoutWritePermission(QString path);
    ~WithoutWritePermission();
    WithoutWritePermission(const WithoutWritePermission &) = delete;
    WithoutWritePermission &operator=(const WithoutWritePermission &) = delete;

    bool ok() const { return m_ok; }

private:
    QString m_path;
    QFileDevice::Permissions m_before;
    bool m_ok = false;
};

} // namespace testing
