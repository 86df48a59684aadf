#pragma once

#include "platform/xlsx/read_book.h"

#include <QByteArray>

#include <functional>

// The reading of a legacy .xls through freexl, done only inside the reading helper program: the
// library is not safe on damaged files, so it never runs in the client's own memory.
namespace xlsx {

// Hands every sheet and every cell holding a value to `write` as records (xls_rows.h) and
// returns how the reading ended.
ReadBook::Status extractXls(const QString &path, ReadScope scope, const std::function<void(const QByteArray &)> &write);

} // namespace xlsx
