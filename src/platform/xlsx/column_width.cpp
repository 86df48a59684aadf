#include "platform/xlsx/column_width.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

namespace xlsx {

namespace {

constexpr double kDefaultFontSize = 11.0;
constexpr double kBoldFactor = 1.1;
// Excel adds a few pixels on each side of the text: about 0.71 of a digit at the default font.
constexpr double kMargin = 0.71;

bool isWide(char32_t ch)
{
    return (ch >= 0x1100 && ch <= 0x115F) || (ch >= 0x2E80 && ch <= 0xA4CF) || (ch >= 0xAC00 && ch <= 0xD7A3)
        || (ch >= 0xF900 && ch <= 0xFAFF) || (ch >= 0xFE30 && ch <= 0xFE4F) || (ch >= 0xFF00 && ch <= 0xFF60)
        || (ch >= 0xFFE0 && ch <= 0xFFE6) || (ch >= 0x1F300 && ch <= 0x1FAFF) || (ch >= 0x20000 && ch <= 0x3FFFD);
}

// The width that shows a longest line of `longest` digit widths in a cell of that look.
double widthOfLine(double longest, const Style &style)
{
    if (longest == 0)
        return 0;
    const double size = style.fontSize > 0 ? style.fontSize : kDefaultFontSize;
    const double scale = size / kDefaultFontSize * (style.bold ? kBoldFactor : 1.0);
    const double width = longest * scale + kMargin;
    return std::min(kMaxColumnWidth, std::ceil(width * 100.0) / 100.0);
}

// How many characters a whole number shows (its digits and sign), when the cell shows it whole.
std::optional<int> wholeNumberLength(double number)
{
    if (!std::isfinite(number) || number != std::floor(number) || std::fabs(number) >= 1e15)
        return std::nullopt;
    qint64 rest = qint64(number);
    int length = rest < 0 ? 2 : 1;
    for (rest = rest < 0 ? -rest : rest; rest >= 10; rest /= 10)
        ++length;
    return length;
}

} // namespace

double widthFor(const QString &text, const Style &style)
{
    // Its longest line, counted in one pass (this runs for every cell of an export).
    double longest = 0;
    double line = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text.at(i);
        if (ch == u'\n') {
            longest = std::max(longest, line);
            line = 0;
            continue;
        }
        char32_t code = ch.unicode();
        if (code < 0x1100) {
            // Latin, Greek, Cyrillic...: no wide character comes before U+1100.
            line += 1.0;
            continue;
        }
        if (ch.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(ch, text.at(++i));
        line += isWide(code) ? 2.0 : 1.0;
    }
    longest = std::max(longest, line);
    return widthOfLine(longest, style);
}

void ColumnFit::note(int column, const Cell &cell)
{
    // A text or a whole number (a phone) is measured as it stands, without writing it out first.
    double w = 0;
    if (const QString *text = std::get_if<QString>(&cell.value)) {
        w = widthFor(*text, cell.style);
    } else if (const double *number = std::get_if<double>(&cell.value)) {
        const std::optional<int> length = wholeNumberLength(*number);
        w = length ? widthOfLine(*length, cell.style) : widthFor(shownText(cell.value), cell.style);
    }
    if (w > 0) {
        double &widest = m_widest[column];
        widest = std::max(widest, w);
    }
}

void ColumnFit::note(const RowCells &cells, int firstColumn, int lastColumn)
{
    for (const auto &[column, cell] : cells)
        if (column >= firstColumn && column <= lastColumn)
            note(column, cell);
}

} // namespace xlsx
