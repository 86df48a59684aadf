#pragma once

#include "platform/xlsx/sheet.h"

#include <QMap>
#include <QString>

// libxlsxwriter cannot fit a column to its contents, so the width is worked out here in Excel's
// unit (the width of one digit of the default font).
namespace xlsx {

inline constexpr double kMaxColumnWidth = 255.0;

// The width that shows `text` whole in a cell of that look: its longest line, wide (East Asian)
// characters counted twice, scaled by the font size and weight, plus Excel's margin.
double widthFor(const QString &text, const Style &style);

// Widths fitted to the cells of a sheet that is written row by row: each cell is noted as it
// goes, and the widest of each column is what Sheet::fitColumns would give over the same cells.
class ColumnFit final {
public:
    void note(int column, const Cell &cell);
    void note(const RowCells &cells, int firstColumn, int lastColumn);
    const QMap<int, double> &widths() const { return m_widest; }

private:
    QMap<int, double> m_widest;
};

} // namespace xlsx
