#pragma once

#include <QString>
#include <QStringView>

// What a cell's number format makes of the number it holds, as Excel reads the format's code:
// the number itself, a date (with its time of day when it carries one), a time of day ("h:mm"), or
// time elapsed ("[h]:mm", which counts on past 24 hours). Decided once per number format, when
// the styles are read: a cell only looks its format's shape up.
namespace xlsx {

struct NumberShape {
    enum class Kind { Number, Date, Time, Elapsed };
    Kind kind = Kind::Number;
    // Time and Elapsed: whether the format shows seconds.
    bool seconds = false;
    // Elapsed: the unit that counts on without wrapping: 'h', 'm' or 's'.
    char elapsedUnit = 'h';
    bool operator==(const NumberShape &) const = default;
};

// The shape of a custom format code. Quoted text, escaped characters and colours or conditions in
// brackets are passed over; d and y are date parts, h and s time parts, and m is minutes next to h
// or before s, a month otherwise; [h], [m] and [s] count time elapsed.
NumberShape shapeOfFormatCode(QStringView code);
// The shape of one of Excel's built-in formats, by its number.
NumberShape shapeOfBuiltInFormat(int id);

// A number as its shape shows it: dates as excelDateText writes them, times of day as "hh:mm"
// (":ss" when the format shows seconds), time elapsed as "42:00"; the number itself when it is no
// time Excel can show (negative, too large).
QString shapedNumberText(double number, const NumberShape &shape, bool system1904 = false);

} // namespace xlsx
