#include "platform/text/decimal.h"

#include "platform/text/digits.h"

#include <cmath>

namespace text {

std::optional<double> parseDecimal(QStringView value)
{
    const QStringView trimmed = value.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QString normal;
    normal.reserve(trimmed.size());
    int separators = 0;
    int digits = 0;
    int digitsAfter = 0;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (isAsciiDigit(c)) {
            normal.append(c);
            ++digits;
            if (separators > 0)
                ++digitsAfter;
        } else if (c == QLatin1Char(',') || c == QLatin1Char('.')) {
            // One separator, with digits on both sides: "12,3.4", ",5" and "12," are no numbers.
            if (++separators > 1 || digits == 0)
                return std::nullopt;
            normal.append(QLatin1Char('.'));
        } else if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && i == 0) {
            normal.append(c);
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || (separators > 0 && digitsAfter == 0))
        return std::nullopt;
    bool ok = false;
    const double result = normal.toDouble(&ok);
    if (!ok || !std::isfinite(result))
        return std::nullopt;
    return result;
}

std::optional<qint64> parseInteger(QStringView value)
{
    const QStringView trimmed = value.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        const bool sign = i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+')) && trimmed.size() > 1;
        if (!sign && !isAsciiDigit(c))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 result = trimmed.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return result;
}

QString formatDecimal(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    QString s = QString::number(value, 'f', 6);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

} // namespace text
