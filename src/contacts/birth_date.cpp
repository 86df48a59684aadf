#include "contacts/birth_date.h"

#include "platform/text/digits.h"

namespace contacts {

bool isValidDateFormat(const QString &text)
{
    if (text.size() != 8 && text.size() != 10)
        return false;
    return text::isDigitsOnly(text.mid(0, 2)) && text::isDigitsOnly(text.mid(3, 2)) && text::isDigitsOnly(text.mid(6))
        && text.at(2) == u'/' && text.at(5) == u'/';
}

std::optional<QDate> dateFromText(const QString &text)
{
    if (!isValidDateFormat(text))
        return std::nullopt;
    const int day = text.mid(0, 2).toInt();
    const int month = text.mid(3, 2).toInt();
    int year = text.mid(6).toInt();
    if (text.size() == 8)
        year += year < 30 ? 2000 : 1900;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString storedDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString shownDate(const QString &stored)
{
    // Only the stored form itself, all of it: any other text is shown as it is, never cut.
    const QDate date = stored.size() == 10 ? QDate::fromString(stored, QStringLiteral("yyyy-MM-dd")) : QDate();
    if (!date.isValid())
        return stored;
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace contacts
