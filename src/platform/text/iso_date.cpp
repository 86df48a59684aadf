#include "platform/text/iso_date.h"

namespace text {

QDate isoDate(const QString &text)
{
    const auto digits = [&text](qsizetype from, qsizetype count) {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    if (text.isEmpty())
        return {};
    if (text.size() == 10 && text.at(4) == u'-' && text.at(7) == u'-') {
        const int year = digits(0, 4);
        const int month = digits(5, 2);
        const int day = digits(8, 2);
        // Years of fewer than four significant digits and days that do not exist take the slow
        // path, so the answer is always the one QDate::fromString gives.
        if (year >= 1000 && month > 0 && day > 0) {
            const QDate date(year, month, day);
            if (date.isValid())
                return date;
        }
    }
    return QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
}

} // namespace text
