#pragma once

#include <QDate>
#include <QString>

#include <optional>

// Birth dates: typed and shown day first (DD/MM/AAAA or DD/MM/AA), stored as yyyy-MM-dd.
namespace contacts {

// The editor's format test: 8 or 10 characters, "/" at places 3 and 6, digits for day, month and
// a year of 2 or 4 digits. Says nothing about whether the day exists.
bool isValidDateFormat(const QString &text);

// The date of a text that passes the format test; nothing when the day does not exist
// (31/02/1990, 99/99/99). Two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999.
std::optional<QDate> dateFromText(const QString &text);

// Stored form ("1984-10-23") and shown form ("23/10/1984"). A stored text that is not a date is
// shown as it is.
QString storedDate(const QDate &date);
QString shownDate(const QString &stored);

} // namespace contacts
