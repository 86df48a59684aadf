#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

// When a send goes out. All arithmetic is on wall-clock values (times carried with Qt::UTC as a
// plain calendar reading), so a daylight-saving change never moves a scheduled send.
namespace sending {

inline const QString kImmediate = QStringLiteral("Inmediato");

// "yyyy-MM-dd HH:mm" exactly, read as a wall-clock time; nothing for anything else.
std::optional<QDateTime> parseScheduledTime(const QString &text);
// The same form written back.
QString formatScheduledTime(const QDateTime &wallClock);
// Any QDateTime (local time included) as the same reading on the wall clock.
QDateTime wallClock(const QDateTime &time);

// The minutes added to a local time to reach the gateway's clock (GMT+01:00): 60 minus the
// offset of `timeZone` ("GMT +05:30" is +330). A missing or malformed zone counts as
// "GMT +01:00", which needs no shift.
int gatewayOffsetMinutes(const QString &timeZone);

// The shift in minutes of an appointment reminder, -(hours x 60) when the
// appointment box is ticked and the hours are a number; 0 otherwise.
int appointmentLeadMinutes(bool appointmentTicked, const QString &hours);

enum class SendTimeStatus { Immediate, Scheduled, Invalid };

struct SendTime {
    SendTimeStatus status = SendTimeStatus::Immediate;
    QString gatewayTime;   // posted as `fecha`: "Inmediato" or the gateway-clock time
    QString recordedTime;   // recorded in `Historial.f_programada`: "Inmediato" or the local send time
    QString keywordTime;      // the time the date keywords are filled from (the appointment itself)
};

// The send time of the send panel (`scheduled`, "Inmediato" or a local "yyyy-mm-dd hh:mm")
// turned into what is posted and what is recorded. A text that is neither is Invalid.
SendTime computeSendTime(const QString &scheduled, const QString &timeZone, bool appointmentTicked,
                            const QString &appointmentHours);

// The picker's rebuild: the chosen day at the hour and minute boxes, or "Inmediato" when that is
// not after the current minute (`now` is the local wall clock).
QString pickedSendTime(const QDate &day, const QString &hour, const QString &minute, const QDateTime &now);

enum class TimeBox { Hour, Minute };

struct TimeBoxResult {
    QString text;        // what the box shows afterwards
    bool rebuild = true; // whether the send time is rebuilt (not after a non-numeric entry)
};

// An hour or minute box left by the user: not a whole number gives "00" and no rebuild; above
// the maximum wraps to "00", below 0 to the maximum; one digit gets a leading "0".
TimeBoxResult normalizeTimeBox(const QString &typed, TimeBox box);

// A spinner step: +1 or -1 on the box's number, wrapped the same way, no carry to the hour.
QString spinnerStep(const QString &current, int step, TimeBox box);

} // namespace sending
