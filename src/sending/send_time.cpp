#include "sending/send_time.h"

#include "platform/text/decimal.h"

#include <QRegularExpression>

#include <cmath>

namespace sending {

std::optional<QDateTime> parseScheduledTime(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2})$"));
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

QString formatScheduledTime(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QDateTime wallClock(const QDateTime &time)
{
    return QDateTime(time.date(), time.time(), Qt::UTC);
}

int gatewayOffsetMinutes(const QString &timeZone)
{
    static const QRegularExpression form(QStringLiteral("^GMT ([+-])(\\d{2}):(\\d{2})$"));
    const auto match = form.match(timeZone.trimmed());
    if (!match.hasMatch())
        return 0;
    const int hours = match.captured(2).toInt();
    const int minutes = match.captured(3).toInt();
    if (hours > 14 || minutes > 59)
        return 0;
    const int sign = match.captured(1) == QLatin1String("-") ? -1 : 1;
    return 60 - sign * (hours * 60 + minutes);
}

int appointmentLeadMinutes(bool appointmentTicked, const QString &hours)
{
    if (!appointmentTicked)
        return 0;
    const auto value = text::parseDecimal(hours);
    // Beyond ten years a lead is a typing slip, not an appointment; it would only overflow.
    if (!value || std::fabs(*value) > 24.0 * 3660)
        return 0;
    return -static_cast<int>(std::lround(*value * 60));
}

SendTime computeSendTime(const QString &scheduled, const QString &timeZone, bool appointmentTicked,
                            const QString &appointmentHours)
{
    if (scheduled == kImmediate)
        return {SendTimeStatus::Immediate, kImmediate, kImmediate, kImmediate};
    const auto local = parseScheduledTime(scheduled);
    if (!local)
        return {SendTimeStatus::Invalid, {}, {}, {}};
    const int lead = appointmentLeadMinutes(appointmentTicked, appointmentHours);
    SendTime result;
    result.status = SendTimeStatus::Scheduled;
    result.gatewayTime = formatScheduledTime(local->addSecs(60LL * (lead + gatewayOffsetMinutes(timeZone))));
    result.recordedTime = formatScheduledTime(local->addSecs(60LL * lead));
    result.keywordTime = formatScheduledTime(*local);
    return result;
}

namespace {

QString twoDigits(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

int maximum(TimeBox box)
{
    return box == TimeBox::Hour ? 23 : 59;
}

QString wrapped(qint64 value, TimeBox box)
{
    if (value > maximum(box))
        return QStringLiteral("00");
    if (value < 0)
        return twoDigits(maximum(box));
    return twoDigits(value);
}

} // namespace

QString pickedSendTime(const QDate &day, const QString &hour, const QString &minute, const QDateTime &now)
{
    const auto h = text::parseInteger(hour);
    const auto m = text::parseInteger(minute);
    const QTime time(h && *h >= 0 && *h <= 23 ? static_cast<int>(*h) : 0,
                     m && *m >= 0 && *m <= 59 ? static_cast<int>(*m) : 0);
    if (!day.isValid())
        return kImmediate;
    const QString chosen = formatScheduledTime(QDateTime(day, time, Qt::UTC));
    const QString current = formatScheduledTime(wallClock(now));
    return current >= chosen ? kImmediate : chosen;
}

TimeBoxResult normalizeTimeBox(const QString &typed, TimeBox box)
{
    const auto value = text::parseInteger(typed);
    if (!value)
        return {QStringLiteral("00"), false};
    return {wrapped(*value, box), true};
}

QString spinnerStep(const QString &current, int step, TimeBox box)
{
    const qint64 value = text::parseInteger(current).value_or(0);
    return wrapped(value + step, box);
}

} // namespace sending
