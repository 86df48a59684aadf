#include "platform/xlsx/column_width.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

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

double characters(QStringView line)
{
    double count = 0;
    for (const char32_t ch : line.toUcs4())
        count += isWide(ch) ? 2.0 : 1.0;
    return count;
}

} // namespace

double widthFor(const QString &text, const Style &style)
{
    double longest = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        longest = std::max(longest, characters(line));
    if (longest == 0)
        return 0;
    const double size = style.fontSize > 0 ? style.fontSize : kDefaultFontSize;
    const double scale = size / kDefaultFontSize * (style.bold ? kBoldFactor : 1.0);
    const double width = longest * scale + kMargin;
    return std::min(kMaxColumnWidth, std::ceil(width * 100.0) / 100.0);
}

} // namespace xlsx
