#pragma once

#include "platform/xlsx/read_book.h"
#include "platform/xlsx/read_budget.h"

namespace xlsx {

// An .xlsx workbook: its sheets in the workbook's order, shared and inline strings, numbers, dates
// (by their cell format), merges, column widths and the cells' fonts, fills and borders.
ReadBook readXlsx(const QString &path, ReadScope scope = ReadScope::AllSheets, qint64 budget = kMemoryBudget);

} // namespace xlsx
