#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

// Conversions shared by the readers of other Access files.
namespace mdb {

// An Access date value (days since 1899-12-30, the fraction the time of day, which counts forward
// also for days before day zero) as a wall-clock time (Qt::UTC, no zone shift). A value outside
// Access's years 100-9999, or not a number, gives an invalid QDateTime.
QDateTime accessDateToDateTime(double value);

// The value Access stores for a wall-clock time: the inverse of accessDateToDateTime (days since
// 1899-12-30, the time of day as a fraction added forward, so 1899-12-29 18:00 is -1.75). Rules
// that Access applies to a date compare this value.
double accessDateValue(const QDateTime &dateTime);

// A cell as VB's text conversion writes it: whole numbers without a decimal part or exponent,
// dates as "yyyy-MM-dd" (with " hh:mm:ss" when a time of day is there), Booleans "True"/"False";
// Null becomes "".
QString cellText(const QVariant &value);

} // namespace mdb
