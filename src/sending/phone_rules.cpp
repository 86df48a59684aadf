#include "sending/phone_rules.h"

namespace sending::phone {

void quitar(QString &telefono, QStringView caracteres)
{
    for (const QChar c : caracteres)
        telefono.remove(c);
}

void quitarIniciales(QString &telefono, QStringView caracteres)
{
    qsizetype n = 0;
    while (n < telefono.size() && caracteres.contains(telefono.at(n)))
        ++n;
    telefono.remove(0, n);
}

void anadirPrefijoMovil(QString &telefono, QStringView iniciales)
{
    if (telefono.size() == 9 && iniciales.contains(telefono.front()))
        telefono.prepend(QStringLiteral("34"));
}

bool soloDigitos(QStringView texto)
{
    if (texto.isEmpty())
        return false;
    for (const QChar c : texto)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

QString f_normalizar_telefono(QString &telefono)
{
    quitar(telefono, u"+()-. ,");
    // The country code goes on before the zeros come off: "0" + a mobile ends as the bare mobile,
    // "0034" + a mobile as "34" + the mobile.
    anadirPrefijoMovil(telefono, u"67");
    quitarIniciales(telefono, u"0");
    return telefono;
}

} // namespace sending::phone
