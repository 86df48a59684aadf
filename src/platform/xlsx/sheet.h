#pragma once

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <variant>
#include <vector>

// One worksheet as plain data: the cells, their looks, merges and column widths. Windows fill a
// Sheet first and hand it to the writer, so what goes into a workbook is checked without opening one.
// Rows and columns are counted from 1, as the sheet shows them (column 1 is A).
namespace xlsx {

// 0xRRGGBB. The old client's colour numbers are blue-green-red: convert with fromVbColour.
using Rgb = quint32;
Rgb fromVbColour(int vbColour);

enum class HAlign { General, Left, Center, Right };
enum class Line { None, Thin, Medium, Thick };

struct Borders {
    Line left = Line::None;
    Line right = Line::None;
    Line top = Line::None;
    Line bottom = Line::None;
    bool operator==(const Borders &) const = default;
};

struct Style {
    bool bold = false;
    double fontSize = 0;                // 0: the workbook's default (11)
    std::optional<Rgb> fontColour;
    std::optional<Rgb> fill;
    HAlign align = HAlign::General;
    Borders borders;
    QString numberFormat;               // empty: General
    bool operator==(const Style &) const = default;
};

// Nothing, a text or a number.
using Value = std::variant<std::monostate, QString, double>;

struct Cell {
    Value value;
    Style style;
};

struct Range {
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;
    bool contains(int row, int column) const
    {
        return row >= firstRow && row <= lastRow && column >= firstColumn && column <= lastColumn;
    }
    bool operator==(const Range &) const = default;
};

// "A", "B" ... "Z", "AA" ...; empty for a column below 1.
QString columnName(int column);

// Excel's day count of a date (1900 system), for cells that hold dates.
double excelSerial(const QDate &date);

// What typing a text into a cell gives: a plain number becomes a number, anything else stays text.
// Only numbers that survive the trip keep being numbers: a leading zero, a "+", more than 15 digits
// or an exponent would change what the cell shows, so those stay text (a phone number is never
// rounded or stripped of its zeros). A text beginning with "=" is text too: nothing is a formula.
Value typedValue(const QString &text);

// A value as a cell shows it: text as is, numbers in their shortest form, "" for nothing.
QString shownText(const Value &value);
// A fresh cell holding `text` as typed in (what Sheet::setTyped gives an empty cell).
Cell typedCell(const QString &text);
// A fresh cell holding a date (what Sheet::setDate gives an empty cell).
Cell dateCell(const QDate &date, const QString &format = QStringLiteral("dd/mm/yyyy"));

// The cells of one row, each with its column; columns left out stay empty.
using RowCells = std::vector<std::pair<int, Cell>>;

// Where a worksheet goes when it is written top to bottom, one row at a time: a Sheet held in
// memory (small sheets, tests) or a workbook file that keeps no more than the row at hand
// (SheetStream). Rows come in ascending order; a merge is given with its row.
class RowTarget {
public:
    virtual ~RowTarget() = default;
    virtual void writeRow(int row, const RowCells &cells, const QList<Range> &merges = {}) = 0;
    virtual void setColumnWidth(int column, double width) = 0;
};

class Sheet final {
public:
    explicit Sheet(QString name = QStringLiteral("Hoja1"));

    const QString &name() const { return m_name; }

    void setText(int row, int column, const QString &text);
    void setNumber(int row, int column, double number);
    // typedValue(text); whole numbers get the number format "0" so long numbers never show in
    // scientific notation.
    void setTyped(int row, int column, const QString &text);
    // A date as Excel keeps one: its day count, shown through the number format. A date Excel
    // cannot count (before 1900) goes in as its "dd/MM/yyyy" text; an invalid date leaves the
    // cell empty.
    void setDate(int row, int column, const QDate &date, const QString &format = QStringLiteral("dd/mm/yyyy"));
    // One text per cell from `column` on, as plain text: a header row.
    void setTextRow(int row, int column, const QStringList &texts);
    // One text per cell from `column` on, each typed in (setTyped); an empty text leaves its cell
    // untouched, so a record's missing fields stay empty cells.
    void setTypedRow(int row, int column, const QStringList &texts);
    void setCell(int row, int column, const Cell &cell);

    // The cell's look; the cell is created (empty) when missing.
    Style &style(int row, int column);
    // Changes the look of every cell of the range (creating the empty ones).
    template <typename F>
    void styleRange(const Range &range, F &&change)
    {
        for (int r = range.firstRow; r <= range.lastRow; ++r)
            for (int c = range.firstColumn; c <= range.lastColumn; ++c)
                change(style(r, c));
    }
    // Every edge of every cell of the range.
    void setAllBorders(const Range &range, Line line);

    const Cell *cell(int row, int column) const;
    Value value(int row, int column) const;
    // The value as the sheet shows it: text as is, numbers in their shortest form, "" for nothing.
    QString text(int row, int column) const;

    // The cells of the range shown as one; the value and look of the top-left cell stand for it.
    // Refused (false) for a single cell, a range turned inside out or one overlapping another
    // merge: Excel would call the workbook damaged.
    bool merge(const Range &range);
    const QList<Range> &merges() const { return m_merges; }

    void setColumnWidth(int column, double width);
    // Widths computed from what the columns hold between the given rows (merged cells left out,
    // as Excel's autofit does); an empty column keeps its width.
    void fitColumns(int firstColumn, int lastColumn, int firstRow = 1, int lastRow = 1048576);
    std::optional<double> columnWidth(int column) const;
    const QMap<int, double> &columnWidths() const { return m_widths; }

    int lastRow() const;
    int lastColumn() const;
    // Every cell, by (row, column) in reading order.
    const QMap<std::pair<int, int>, Cell> &cells() const { return m_cells; }

private:
    Cell &at(int row, int column);
    bool inMerge(int row, int column) const;

    QString m_name;
    QMap<std::pair<int, int>, Cell> m_cells;
    QList<Range> m_merges;
    QMap<int, double> m_widths;
};

// Rows written into a Sheet.
class SheetRows final : public RowTarget {
public:
    explicit SheetRows(Sheet &sheet) : m_sheet(sheet) {}
    void writeRow(int row, const RowCells &cells, const QList<Range> &merges = {}) override;
    void setColumnWidth(int column, double width) override { m_sheet.setColumnWidth(column, width); }

private:
    Sheet &m_sheet;
};

} // namespace xlsx
