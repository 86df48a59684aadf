#include "platform/xlsx/sheet.h"

#include "platform/xlsx/column_width.h"


#include <algorithm>
#include <cmath>

namespace xlsx {

namespace {

// Excel keeps 15 significant digits; a longer number would come back changed.
constexpr int kMaxDigits = 15;

QString numberText(double number)
{
    if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15)
        return QString::number(qint64(number));
    return QString::number(number, 'g', kMaxDigits);
}

} // namespace

Rgb fromVbColour(int vbColour)
{
    const auto v = quint32(vbColour) & 0xFFFFFFu;
    return ((v & 0xFFu) << 16) | (v & 0xFF00u) | ((v >> 16) & 0xFFu);
}

QString columnName(int column)
{
    QString name;
    while (column > 0) {
        const int rest = (column - 1) % 26;
        name.prepend(QChar(u'A' + rest));
        column = (column - 1) / 26;
    }
    return name;
}

double excelSerial(const QDate &date)
{
    // From March 1900 on, day 0 is 30 December 1899 (Excel counts a 29 February 1900 that never was).
    const QDate origin = date < QDate(1900, 3, 1) ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    return double(origin.daysTo(date));
}

namespace {

// -?(0|[1-9][0-9]*)(\.[0-9]+)? and nothing else; `digits`: how many digits it holds, `whole`:
// whether it has no fraction.
bool plainNumber(QStringView text, qsizetype &digits, bool &whole)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto digit = [&text](qsizetype at) { return text[at] >= u'0' && text[at] <= u'9'; };
    if (i < n && text[i] == u'-')
        ++i;
    if (i >= n || !digit(i))
        return false;
    const qsizetype first = i;
    while (i < n && digit(i))
        ++i;
    if (text[first] == u'0' && i - first > 1)
        return false;
    digits = i - first;
    whole = !(i < n && text[i] == u'.');
    if (!whole) {
        const qsizetype fraction = ++i;
        while (i < n && digit(i))
            ++i;
        if (i == fraction)
            return false;
        digits += i - fraction;
    }
    // As a regular expression's "$", one line feed may close it.
    return i == n || (i == n - 1 && text[i] == u'\n');
}

} // namespace

Value typedValue(const QString &text)
{
    // Checked by hand: this runs for every cell of an export.
    qsizetype digits = 0;
    bool whole = false;
    if (!plainNumber(text, digits, whole) || digits > kMaxDigits)
        return text;
    if (whole) {
        // At most 15 digits: the count is exact in a double, as the conversion below would give it
        // (a phone number, the commonest cell of an export, goes no further).
        qint64 count = 0;
        const bool negative = text.front() == u'-';
        for (qsizetype i = negative ? 1 : 0; i < text.size() && text.at(i) != u'\n'; ++i)
            count = count * 10 + (text.at(i).unicode() - u'0');
        return negative ? -double(count) : double(count);
    }
    bool ok = false;
    const double number = text.toDouble(&ok);   // QString::toDouble is locale-independent
    if (!ok || !std::isfinite(number))
        return text;
    return number;
}

QString shownText(const Value &value)
{
    if (const QString *s = std::get_if<QString>(&value))
        return *s;
    if (const double *d = std::get_if<double>(&value))
        return numberText(*d);
    return {};
}

Cell typedCell(const QString &text)
{
    Cell cell;
    cell.value = typedValue(text);
    if (const double *number = std::get_if<double>(&cell.value); number && *number == std::floor(*number))
        cell.style.numberFormat = QStringLiteral("0");
    return cell;
}

Cell dateCell(const QDate &date, const QString &format)
{
    Cell cell;
    if (!date.isValid())
        return cell;
    // Excel counts no day before 1900 (nor after 9999): such a date is kept as the text a user
    // would have typed, so an old birth date is never lost.
    if (date < QDate(1900, 1, 1) || date > QDate(9999, 12, 31)) {
        cell.value = date.toString(QStringLiteral("dd/MM/yyyy"));
        return cell;
    }
    cell.value = excelSerial(date);
    cell.style.numberFormat = format;
    return cell;
}

void SheetRows::writeRow(int row, const RowCells &cells, const QList<Range> &merges)
{
    for (const auto &[column, cell] : cells)
        m_sheet.setCell(row, column, cell);
    for (const Range &range : merges)
        m_sheet.merge(range);
}

Sheet::Sheet(QString name)
    : m_name(std::move(name))
{
}

Cell &Sheet::at(int row, int column)
{
    return m_cells[{row, column}];
}

void Sheet::setText(int row, int column, const QString &text)
{
    at(row, column).value = text;
}

void Sheet::setNumber(int row, int column, double number)
{
    if (!std::isfinite(number)) {
        at(row, column).value = numberText(number);
        return;
    }
    at(row, column).value = number;
}

void Sheet::setTyped(int row, int column, const QString &text)
{
    Cell &cell = at(row, column);
    cell.value = typedValue(text);
    if (const double *number = std::get_if<double>(&cell.value); number && *number == std::floor(*number)
        && cell.style.numberFormat.isEmpty())
        cell.style.numberFormat = QStringLiteral("0");
}

void Sheet::setTextRow(int row, int column, const QStringList &texts)
{
    for (qsizetype i = 0; i < texts.size(); ++i)
        setText(row, column + int(i), texts.at(i));
}

void Sheet::setTypedRow(int row, int column, const QStringList &texts)
{
    for (qsizetype i = 0; i < texts.size(); ++i)
        if (!texts.at(i).isEmpty())
            setTyped(row, column + int(i), texts.at(i));
}

void Sheet::setDate(int row, int column, const QDate &date, const QString &format)
{
    Cell &cell = at(row, column);
    if (!date.isValid()) {
        cell.value = std::monostate{};
        return;
    }
    // Excel counts no day before 1900 (nor after 9999): such a date is kept as the text a user
    // would have typed, so an old birth date is never lost.
    if (date < QDate(1900, 1, 1) || date > QDate(9999, 12, 31)) {
        cell.value = date.toString(QStringLiteral("dd/MM/yyyy"));
        return;
    }
    cell.value = excelSerial(date);
    cell.style.numberFormat = format;
}

void Sheet::setCell(int row, int column, const Cell &cell)
{
    at(row, column) = cell;
}

Style &Sheet::style(int row, int column)
{
    return at(row, column).style;
}

void Sheet::setAllBorders(const Range &range, Line line)
{
    styleRange(range, [line](Style &s) { s.borders = Borders{line, line, line, line}; });
}

const Cell *Sheet::cell(int row, int column) const
{
    const auto it = m_cells.constFind({row, column});
    return it == m_cells.cend() ? nullptr : &*it;
}

Value Sheet::value(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c ? c->value : Value{};
}

QString Sheet::text(int row, int column) const
{
    return shownText(value(row, column));
}

bool Sheet::merge(const Range &range)
{
    const auto overlaps = [&range](const Range &r) {
        return r.firstRow <= range.lastRow && range.firstRow <= r.lastRow && r.firstColumn <= range.lastColumn
            && range.firstColumn <= r.lastColumn;
    };
    if (range.firstRow < 1 || range.firstColumn < 1 || range.lastRow < range.firstRow
        || range.lastColumn < range.firstColumn
        || (range.firstRow == range.lastRow && range.firstColumn == range.lastColumn)
        || std::any_of(m_merges.cbegin(), m_merges.cend(), overlaps))
        return false;
    styleRange(range, [](Style &) {});
    m_merges.append(range);
    return true;
}

bool Sheet::inMerge(int row, int column) const
{
    return std::any_of(m_merges.cbegin(), m_merges.cend(),
                       [row, column](const Range &r) { return r.contains(row, column); });
}

void Sheet::setColumnWidth(int column, double width)
{
    m_widths[column] = std::clamp(width, 0.0, kMaxColumnWidth);
}

void Sheet::fitColumns(int firstColumn, int lastColumn, int firstRow, int lastRow)
{
    QMap<int, double> widest;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
        const auto [row, column] = it.key();
        if (row < firstRow || row > lastRow || column < firstColumn || column > lastColumn || inMerge(row, column))
            continue;
        const double w = widthFor(text(row, column), it->style);
        if (w > 0)
            widest[column] = std::max(widest.value(column), w);
    }
    for (auto it = widest.cbegin(); it != widest.cend(); ++it)
        m_widths[it.key()] = it.value();
}

std::optional<double> Sheet::columnWidth(int column) const
{
    const auto it = m_widths.constFind(column);
    if (it == m_widths.cend())
        return std::nullopt;
    return *it;
}

int Sheet::lastRow() const
{
    int last = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
        last = std::max(last, it.key().first);
    return last;
}

int Sheet::lastColumn() const
{
    int last = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
        last = std::max(last, it.key().second);
    return last;
}

} // namespace xlsx
