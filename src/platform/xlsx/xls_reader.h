#pragma once

#include "platform/xlsx/read_book.h"

namespace xlsx {

// A legacy .xls workbook (BIFF 2 to 8) through freexl: sheet names and cells as text. freexl gives
// no formats, so the cells carry no look; dates come as dates when the file marks them so.
ReadBook readXls(const QString &path, ReadScope scope = ReadScope::AllSheets);

} // namespace xlsx
