#pragma once

#include <QDate>
#include <QString>

namespace text {

// The date of a text kept as "yyyy-MM-dd", as QDate::fromString with that format reads it; an
// invalid date for anything else. An export reads one per row: the usual ten-character form is
// read directly, without parsing the format for every row.
QDate isoDate(const QString &text);

} // namespace text
