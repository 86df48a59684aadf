#pragma once

#include <QChar>
#include <QStringView>

namespace text {

// One of the ASCII digits 0-9. QChar::isDigit also takes the digits of other scripts, which no
// phone number, id or count the client reads may hold.
constexpr bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A non-empty run of the digits 0-9 and nothing else: no sign, no blank, no other script's digit.
bool isDigitsOnly(QStringView text);

} // namespace text
