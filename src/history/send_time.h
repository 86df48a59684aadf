#pragma once

#include <QDateTime>
#include <QString>

// Send times are texts ("yyyy-mm-dd hh:mm" or "Inmediato") and are compared as texts against
// "now" written in one of two widths; the width decides whether the current minute counts as due.
namespace history {

inline const QString kImmediate = QStringLiteral("Inmediato");

// "yyyy-MM-dd HH:mm:ss": a send scheduled for the current minute is not later than this.
QString nowStamp(const QDateTime &now);
// "yyyy-MM-dd HH:mm": a send scheduled for the current minute is not earlier than this.
QString nowMinutes(const QDateTime &now);

// The time a row is shown and judged by: when it was recorded for an immediate send, else when
// it is scheduled.
QString rowTime(const QString &sentAt, const QString &scheduledFor);

} // namespace history
