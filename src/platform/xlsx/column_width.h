#pragma once

#include "platform/xlsx/sheet.h"

#include <QString>

// libxlsxwriter cannot fit a column to its contents, so the width is worked out here in Excel's
// unit (the width of one digit of the default font).
namespace xlsx {

inline constexpr double kMaxColumnWidth = 255.0;

// The width that shows `text` whole in a cell of that look: its longest line, wide (East Asian)
// characters counted twice, scaled by the font size and weight, plus Excel's margin.
double widthFor(const QString &text, const Style &style);

} // namespace xlsx
