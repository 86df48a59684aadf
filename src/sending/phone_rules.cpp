#include "sending/phone_rules.h"

namespace sending::phone {

void removeChars(QString &phone, QStringView chars)
{
    for (const QChar c : chars)
        phone.remove(c);
}

void removeLeading(QString &phone, QStringView chars)
{
    qsizetype n = 0;
    while (n < phone.size() && chars.contains(phone.at(n)))
        ++n;
    phone.remove(0, n);
}

void addMobilePrefix(QString &phone, QStringView firstChars)
{
    if (phone.size() == 9 && firstChars.contains(phone.front()))
        phone.prepend(QStringLiteral("34"));
}

QString normalizePhone(QString &phone)
{
    removeChars(phone, u"+()-. ,");
    // The country code goes on before the zeros come off: "0" + a mobile ends as the bare mobile,
    // "0034" + a mobile as "34" + the mobile.
    addMobilePrefix(phone, u"67");
    removeLeading(phone, u"0");
    return phone;
}

} // namespace sending::phone
