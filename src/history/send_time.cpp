#include "history/send_time.h"

namespace history {

QString nowStamp(const QDateTime &now)
{
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString nowMinutes(const QDateTime &now)
{
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString rowTime(const QString &sentAt, const QString &scheduledFor)
{
    return scheduledFor == kImmediate ? sentAt : scheduledFor;
}

} // namespace history
