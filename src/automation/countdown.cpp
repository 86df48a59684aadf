#include "automation/countdown.h"

#include "platform/text/digits.h"

#include <limits>

namespace automation {

int leadingNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    const bool negative = i < trimmed.size() && trimmed.at(i) == QLatin1Char('-');
    if (negative || (i < trimmed.size() && trimmed.at(i) == QLatin1Char('+')))
        ++i;
    long long value = 0;
    for (; i < trimmed.size() && text::isAsciiDigit(trimmed.at(i)); ++i) {
        value = value * 10 + (trimmed.at(i).unicode() - '0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return static_cast<int>(negative ? -value : value);
}

void Countdown::reset(const QString &minutes)
{
    m_value = leadingNumber(minutes);
}

bool Countdown::countDown()
{
    if (m_value > std::numeric_limits<int>::min())
        --m_value;
    return m_value <= 0;
}

} // namespace automation
