#pragma once

#include "platform/db/connection.h"

// Another workstation on the same database file, holding its write lock. It lets go the moment
// our side gives up waiting for it: a BEGIN on our side fails as after a busy time-out, and
// whatever our side runs next finds the file free - the moment a transaction that did not begin
// would otherwise run its statements on their own.
namespace testing {

class OtherWorkstation final {
public:
    // `releaseOnGiveUp` false: the lock stays until release() or the end of this object.
    explicit OtherWorkstation(db::Connection &ours, bool releaseOnGiveUp = true);
    ~OtherWorkstation();
    OtherWorkstation(const OtherWorkstation &) = delete;
    OtherWorkstation &operator=(const OtherWorkstation &) = delete;

    bool holding() const { return m_holding; }
    int timesGivenUp() const { return m_givenUp; }
    void release();

private:
    static int onBusy(void *self, int count);

    db::Connection &m_ours;
    db::Connection m_other;
    bool m_releaseOnGiveUp = true;
    bool m_holding = false;
    int m_givenUp = 0;
};

} // namespace testing
