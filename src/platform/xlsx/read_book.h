#pragma once

#include "platform/xlsx/read_budget.h"
#include "platform/xlsx/sheet.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// A workbook as read from a file: every sheet's cells as text, with enough of their look (fonts,
// fills, borders) to check what was written. The same shape comes from .xlsx and from .xls files.
namespace xlsx {

struct ReadCell {
    // Time: a number shown through a time format, as a time of day or as time elapsed.
    enum class Kind { Empty, Text, Number, Date, Boolean, Error, Time };
    Kind kind = Kind::Empty;
    QString text;           // as the user reads it: numbers in their shortest form, dates dd/MM/yyyy,
                            // times hh:mm, time elapsed as "42:00"
    double number = 0;      // numbers, and dates and times as Excel's day count
    Style style;            // only from .xlsx files
};

struct ReadSheet {
    QString name;
    // The used range: the first and last row and column holding a value; all 0 for an empty sheet.
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;
    QHash<std::pair<int, int>, ReadCell> cells;     // by (row, column), counted from 1
    QList<Range> merges;
    QHash<int, double> widths;                      // columns with a width of their own, as Excel shows it

    const ReadCell *cell(int row, int column) const;
    QString text(int row, int column) const;
    // Keeps the used range in step with a cell that holds a value.
    void noteUsed(int row, int column);
};

struct ReadBook {
    enum class Status { Ok, NotFound, Unreadable, Protected, TooLarge };
    Status status = Status::Ok;
    QString message;        // for the user, in Spanish; empty when read
    Limit limit = Limit::None;  // TooLarge: which bound the file passed
    QList<ReadSheet> sheets;
    bool ok() const { return status == Status::Ok; }
};

enum class ReadScope { AllSheets, FirstSheet };

// Reads .xlsx or legacy .xls, told apart by the file's first bytes rather than its name. Never
// throws nor crashes on a damaged file: anything unreadable comes back as a status with a message.
// Everything the reading holds (texts, styles, merges, cells) is taken from `budget` bytes; a
// workbook past it, or past Excel's own 1,048,576 rows and 16,384 columns, comes back TooLarge
// with a message naming the bound it passed.
ReadBook readWorkbook(const QString &path, ReadScope scope = ReadScope::AllSheets, qint64 budget = kMemoryBudget);

// Texts shared by both readers. For TooLarge the budget tells which bound was passed.
ReadBook readFailure(ReadBook::Status status, const QString &path, const ReadBudget &budget = ReadBudget());
// A day count of Excel's 1900 system (or 1904) as text: "dd/MM/yyyy", with " hh:mm:ss" when it
// carries a time of day; the number itself when it is no date Excel can show (negative, too large).
QString excelDateText(double serial, bool system1904 = false);
// A number as a cell shows it in General format.
QString generalNumberText(double number);

} // namespace xlsx
