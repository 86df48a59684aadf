#pragma once

#include <QString>

// One update per program folder at a time. Two updaters working in one folder would delete each
// other's downloads, swap clients in each other's way and write each other's install records back.
// So an updater takes this lock before it writes anything there and keeps it until its installation
// is over; a second updater that does not get it changes nothing. The lock is the system's lock on
// the program folder itself (flock), which needs no file of its own and no right to write there, and
// which the system lets go when the updater ends, however it ends.
namespace updater {

class InstallLock final {
public:
    InstallLock() = default;
    ~InstallLock();
    InstallLock(const InstallLock &) = delete;
    InstallLock &operator=(const InstallLock &) = delete;

    // Takes the lock on the folder of `target` without waiting. Empty when it is held now (also
    // when it was already), else a Spanish reason; busy() tells whether another updater holds it.
    QString take(const QString &target);
    void release();
    bool held() const { return m_fd >= 0; }
    bool busy() const { return m_busy; }

private:
    int m_fd = -1;
    QString m_target;
    bool m_busy = false;
};

// What a second updater says.
QString updateRunningMessage();

} // namespace updater
