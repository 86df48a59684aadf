#pragma once

#include "history/condition.h"

#include <QString>

// The history filter panel turned into a condition over `Historial` (buildHistoryFilter).
namespace history {

// What the panel holds; defaults as the panel starts.
struct FilterPanel {
    bool byDate = false;                       // "Enviado entre"
    QString fromDate = QStringLiteral("2000-01-01");
    QString toDate = QStringLiteral("2050-01-01");
    bool byPhone = false;                     // "Enviado al teléfono"
    QString phone;
    bool byText = false;                        // "El texto debe incluir"
    QString text;
};

struct FilterResult {
    Condition condition;      // empty when no criterion applies
    QString phone;         // what the phone box shows afterwards
};

// The database refuses LIKE patterns past 50,000 bytes, and a character of the box takes up to
// three bytes: a text longer than this is looked for where it stands in the message, as it is
// (wildcards included) and without case for every letter, with no limit of length.
inline constexpr qsizetype kMaxPatternText = 10000;

FilterResult buildHistoryFilter(const FilterPanel &panel);

// The number as the filter looks for it: blanks, "+" and leading zeros gone; a nine-digit number
// typed as one block starting with 6 gets the Spanish prefix 34.
QString filterPhone(const QString &typed);

} // namespace history
