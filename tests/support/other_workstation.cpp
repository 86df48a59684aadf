#include "support/other_workstation.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

namespace testing {

OtherWorkstation::OtherWorkstation(db::Connection &ours, bool releaseOnGiveUp)
    : m_ours(ours), m_releaseOnGiveUp(releaseOnGiveUp)
{
    if (!m_other.open(ours.path()).ok())
        return;
    m_holding = m_other.executeScript(QStringLiteral("BEGIN IMMEDIATE")).ok();
    // Our side gives up at once instead of waiting out its time-out.
    sqlite3_busy_handler(ours.handle(), &OtherWorkstation::onBusy, this);
}

OtherWorkstation::~OtherWorkstation()
{
    release();
    if (m_ours.isOpen()) {
        sqlite3_busy_handler(m_ours.handle(), nullptr, nullptr);
        m_ours.setBusyTimeout(m_ours.busyTimeout());
    }
}

void OtherWorkstation::release()
{
    if (m_holding)
        m_other.executeScript(QStringLiteral("ROLLBACK"));
    m_holding = false;
}

int OtherWorkstation::onBusy(void *self, int)
{
    auto *other = static_cast<OtherWorkstation *>(self);
    ++other->m_givenUp;
    if (other->m_releaseOnGiveUp)
        other->release();
    return 0;   // give up: the statement that waited fails as busy
}

} // namespace testing
