#include "sending/phone_rules.h"

namespace sending::phone {

void quitar(QString &phone, QStringView chars)
{
    for (const QChar c : chars)
        phone.remove(c);
}

void quitarIniciales(QString &phone, QStringView chars)
{
    qsizetype n = 0;
    while (n < phone.size() && chars.contains(phone.at(n)))
        ++n;
    phone.remove(0, n);
}

void anadirPrefijoMovil(QString &phone, QStringView firstChars)
{
    if (phone.size() == 9 && firstChars.contains(phone.front()))
        phone.prepend(QStringLiteral("34"));
}

bool soloDigitos(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

QString f_normalizar_telefono(QString &phone)
{
    quitar(phone, u"+()-. ,");
    // The country code goes on before the zeros come off: "0" + a mobile ends as the bare mobile,
    // "0034" + a mobile as "34" + the mobile.
    anadirPrefijoMovil(phone, u"67");
    quitarIniciales(phone, u"0");
    return phone;
}

} // namespace sending::phone
