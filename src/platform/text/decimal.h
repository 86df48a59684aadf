#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace text {

// A decimal number as the gateway or a user writes it: ASCII digits, at most one "," or "." as
// the separator with digits on both sides, an optional leading sign, blanks around it ignored.
// Never the machine's locale, never a number read from the front of a longer text ("12,3.4",
// "12abc"): nothing for anything else.
std::optional<double> parseDecimal(QStringView value);

// A whole number (optional sign, digits only, blanks around it ignored); nothing otherwise.
std::optional<qint64> parseInteger(QStringView value);

// Shortest text of a number with "." as separator and no exponent ("1234.56", "12", "-0.5").
QString formatDecimal(double value);

} // namespace text
