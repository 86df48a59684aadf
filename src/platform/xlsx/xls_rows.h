#pragma once

#include "platform/xlsx/read_book.h"

#include <QByteArray>
#include <QString>

// How the .xls reading helper hands a workbook back: a short header, then one record per sheet
// and per cell holding a value, then an end record with the outcome. Every record starts with its
// kind; numbers are little-endian; texts are a 32-bit byte count and UTF-8.
//   header  "BXLS1\n"
//   'S'     sheet name
//   'C'     row, column (32-bit, from 1), kind (8-bit), number (64-bit double), text
//   'E'     status (8-bit: ReadBook::Status)
// Anything else, a record cut short, or no end record is a failed reading.
namespace xlsx::xlsrows {

inline constexpr char kHeader[] = "BXLS1\n";

QByteArray header();
QByteArray sheet(const QString &name);
QByteArray cell(int row, int column, const ReadCell &cell);
QByteArray end(ReadBook::Status status);

// The workbook the records describe; a failure (with the usual message about `path`) when they
// are damaged, cut short or say so themselves.
ReadBook decode(const QByteArray &bytes, const QString &path);

} // namespace xlsx::xlsrows
