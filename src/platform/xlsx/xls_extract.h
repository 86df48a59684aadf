#pragma once

#include "platform/xlsx/read_book.h"
#include "platform/xlsx/read_budget.h"

#include <QByteArray>

#include <functional>

// The reading of a legacy .xls through freexl, done only inside the reading helper program: the
// library is not safe on damaged files, so it never runs in the client's own memory.
namespace xlsx {

// How a reading ended, and for TooLarge which bound the file passed.
struct ExtractResult {
    ReadBook::Status status = ReadBook::Status::Ok;
    Limit limit = Limit::None;
};

// What freexl holds for each cell a sheet declares: a type and a value or a pointer to a text.
inline constexpr qint64 kLibraryCellBytes = 16;

// Hands every sheet and every cell holding a value to `write` as records (xls_rows.h). The grids
// the sheets declare are refused first when the library's copy of them would pass `budget`.
ExtractResult extractXls(const QString &path, ReadScope scope, qint64 budget,
                         const std::function<void(const QByteArray &)> &write);

} // namespace xlsx
