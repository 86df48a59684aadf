#pragma once

#include "updater/download.h"

#include <QString>

#include <optional>

namespace updater {

// The five status lines and the bar of the updater window for one progress report.
struct ProgressTexts {
    QString total;
    QString received;
    QString percent;
    QString elapsed;
    QString remaining;
    int bar = 0;
};

// Nothing when the total is 1: the size is not known and the display keeps what it shows.
std::optional<ProgressTexts> progressTexts(const Progress &progress);

// The percentage as the format "###" writes it: a whole number, halves away from zero, and no
// digit at all for 0.
QString percentDigits(double percent);

// The bar's value: the percentage rounded to a whole number, halves to the even neighbour.
int barValue(double percent);

} // namespace updater
