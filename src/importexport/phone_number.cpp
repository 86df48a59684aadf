#include "importexport/phone_number.h"

namespace importexport {

QString f_normalizar_telefono(QString &telefono)
{
    for (const QChar separator : {u'+', u'(', u')', u'-', u'.', u' ', u','})
        telefono.remove(separator);
    // The country code goes on before the zeros come off: "0" + a mobile ends as the bare mobile,
    // "0034" + a mobile as "34" + the mobile.
    if (telefono.size() == 9 && (telefono.front() == u'6' || telefono.front() == u'7'))
        telefono.prepend(QStringLiteral("34"));
    qsizetype zeros = 0;
    while (zeros < telefono.size() && telefono.at(zeros) == u'0')
        ++zeros;
    telefono.remove(0, zeros);
    return telefono;
}

} // namespace importexport
