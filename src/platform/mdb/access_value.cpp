#include "platform/mdb/access_value.h"

#include <QLocale>
#include <QTimeZone>

#include <cmath>

namespace mdb {

QDateTime accessDateToDateTime(double value)
{
    static const QDate dayZero(1899, 12, 30);
    // Access keeps dates from the year 100 to 9999; anything else (or not a number at all) is a
    // damaged value, and converting it to a day count would overflow.
    constexpr double kFirstDay = -657434.0; // 100-01-01
    constexpr double kPastLastDay = 2958466.0; // 10000-01-01
    if (!(value > kFirstDay - 1.0 && value < kPastLastDay))
        return {};
    // The integer part counts days (negative before day zero); the fraction is always the time of
    // day forward from midnight, whatever the sign of the value.
    const double days = std::trunc(value);
    qint64 seconds = std::llround(std::fabs(value - days) * 86400.0);
    qint64 dayCount = qint64(days);
    if (seconds >= 86400) {
        seconds -= 86400;
        dayCount += 1;
    }
    return QDateTime(dayZero.addDays(dayCount), QTime(0, 0).addSecs(int(seconds)), Qt::UTC);
}

double accessDateValue(const QDateTime &dateTime)
{
    static const QDate dayZero(1899, 12, 30);
    const double days = double(dayZero.daysTo(dateTime.date()));
    const double fraction = double(QTime(0, 0).msecsTo(dateTime.time())) / 86400000.0;
    // Before day zero the integer part goes down while the fraction still counts forward.
    return days < 0 ? days - fraction : days + fraction;
}

QString cellText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(qint64(d));
        return QLocale::c().toString(d, 'g', 15);
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
        return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    default:
        return value.toString();
    }
}

} // namespace mdb
