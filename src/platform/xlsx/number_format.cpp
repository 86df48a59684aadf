#include "platform/xlsx/number_format.h"

#include "platform/xlsx/read_book.h"

#include <cmath>
#include <vector>

namespace xlsx {

namespace {

// One date or time part of a format code: a run of one letter (d, y, h, m or s), or an elapsed
// unit in brackets.
struct Part {
    char letter;
    qsizetype length;
    bool elapsed;
};

bool startsWithAt(QStringView code, qsizetype at, QStringView word)
{
    return code.size() - at >= word.size() && code.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// The contents of a bracket when they name an elapsed unit ("h", "mm", "sss"...): the letter, or 0.
char elapsedUnitOf(QStringView inside)
{
    if (inside.isEmpty())
        return 0;
    const char16_t first = inside.front().toLower().unicode();
    if (first != u'h' && first != u'm' && first != u's')
        return 0;
    for (const QChar ch : inside)
        if (ch.toLower().unicode() != first)
            return 0;
    return char(first);
}

// The date and time parts of a code, in order; a section break (";") is a part of its own ('|').
std::vector<Part> partsOf(QStringView code)
{
    std::vector<Part> parts;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (ch == u'"') {
            const qsizetype close = code.indexOf(u'"', i + 1);
            i = close < 0 ? code.size() : close;
        } else if (ch == u'\\' || ch == u'_' || ch == u'*') {
            ++i;
        } else if (ch == u'[') {
            const qsizetype close = code.indexOf(u']', i + 1);
            const qsizetype end = close < 0 ? code.size() : close;
            if (const char unit = elapsedUnitOf(code.sliced(i + 1, end - i - 1)))
                parts.push_back({unit, end - i - 1, true});
            i = end;
        } else if (ch == u';') {
            parts.push_back({'|', 1, false});
        } else if (startsWithAt(code, i, u"am/pm")) {
            i += 4;
        } else if (startsWithAt(code, i, u"a/p")) {
            i += 2;
        } else {
            const char16_t letter = ch.toLower().unicode();
            if (letter != u'd' && letter != u'y' && letter != u'h' && letter != u'm' && letter != u's')
                continue;
            qsizetype run = 1;
            while (i + run < code.size() && code.at(i + run).toLower().unicode() == letter)
                ++run;
            parts.push_back({char(letter), run, false});
            i += run - 1;
        }
    }
    return parts;
}

} // namespace

NumberShape shapeOfFormatCode(QStringView code)
{
    const std::vector<Part> parts = partsOf(code);
    bool date = false;
    bool time = false;
    bool seconds = false;
    char elapsed = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part &part = parts[i];
        if (part.elapsed) {
            time = true;
            seconds = seconds || part.letter == 's';
            if (!elapsed)
                elapsed = part.letter;
            continue;
        }
        switch (part.letter) {
        case 'd':
        case 'y':
            date = true;
            break;
        case 'h':
            time = true;
            break;
        case 's':
            time = seconds = true;
            break;
        case 'm': {
            // Minutes right after an hour or right before seconds; three m or more name a month.
            const bool afterHour = i > 0 && parts[i - 1].letter == 'h';
            const bool beforeSeconds = i + 1 < parts.size() && parts[i + 1].letter == 's';
            if (part.length <= 2 && (afterHour || beforeSeconds))
                time = true;
            else
                date = true;
            break;
        }
        default:
            break;
        }
    }
    NumberShape shape;
    if (date)
        shape.kind = NumberShape::Kind::Date;
    else if (elapsed)
        shape = {NumberShape::Kind::Elapsed, seconds, elapsed};
    else if (time)
        shape = {NumberShape::Kind::Time, seconds, 'h'};
    return shape;
}

NumberShape shapeOfBuiltInFormat(int id)
{
    switch (id) {
    case 18: case 20:                   // h:mm AM/PM, h:mm
        return {NumberShape::Kind::Time, false, 'h'};
    case 19: case 21: case 45: case 47: // h:mm:ss AM/PM, h:mm:ss, mm:ss, mm:ss.0
        return {NumberShape::Kind::Time, true, 'h'};
    case 46:                            // [h]:mm:ss
        return {NumberShape::Kind::Elapsed, true, 'h'};
    default:
        break;
    }
    const bool date = (id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
    return date ? NumberShape{NumberShape::Kind::Date, false, 'h'} : NumberShape{};
}

QString shapedNumberText(double number, const NumberShape &shape, bool system1904)
{
    switch (shape.kind) {
    case NumberShape::Kind::Number:
        return generalNumberText(number);
    case NumberShape::Kind::Date:
        return excelDateText(number, system1904);
    case NumberShape::Kind::Time:
    case NumberShape::Kind::Elapsed:
        break;
    }
    // Excel shows no time for a negative number nor past 31/12/9999.
    if (!std::isfinite(number) || number < 0 || number >= 2958466)
        return generalNumberText(number);
    const qint64 total = std::llround(number * 86400.0);
    const auto two = [](qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    const QString secondsText = shape.seconds ? QStringLiteral(":") + two(total % 60) : QString();
    if (shape.kind == NumberShape::Kind::Time) {
        const qint64 ofDay = total % 86400;
        return two(ofDay / 3600) + QStringLiteral(":") + two(ofDay / 60 % 60) + secondsText;
    }
    switch (shape.elapsedUnit) {
    case 's':
        return QString::number(total);
    case 'm':
        return QString::number(total / 60) + (shape.seconds ? secondsText : QString());
    default:
        return QString::number(total / 3600) + QStringLiteral(":") + two(total / 60 % 60) + secondsText;
    }
}

} // namespace xlsx
