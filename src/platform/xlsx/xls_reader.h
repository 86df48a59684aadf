#pragma once

#include "platform/xlsx/read_book.h"

namespace xlsx {

// How long the reading helper may take. What it hands back is decoded as it comes, within the
// reading's memory budget.
inline constexpr int kXlsReaderTimeoutMs = 60000;

// A legacy .xls workbook (BIFF 2 to 8): sheet names and cells as text. freexl gives no formats,
// so the cells carry no look; dates come as dates when the file marks them so. The file is read
// by the helper program brisanta-xls-reader in a process of its own, because freexl reads past
// its buffers on damaged files: a crash, a hang or nonsense there is a damaged file here.
ReadBook readXls(const QString &path, ReadScope scope = ReadScope::AllSheets, int timeoutMs = kXlsReaderTimeoutMs,
                 qint64 budget = kMemoryBudget);

// The helper: $BRISANTA_XLS_READER when set, else brisanta-xls-reader beside the running program.
QString xlsReaderProgram();

} // namespace xlsx
