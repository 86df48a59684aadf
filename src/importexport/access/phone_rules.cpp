#include "importexport/access/phone_rules.h"

#include "sending/phone_rules.h"

namespace importexport::access {

QString telefono_access(const QString &raw)
{
    // Outer blanks would otherwise be stored with the number and never match it again.
    QString phone = raw.trimmed();
    sending::phone::quitarIniciales(phone, u"0+");
    sending::phone::anadirPrefijoMovil(phone, u"6");
    return sending::phone::soloDigitos(phone) ? phone : QString(QLatin1String(""));
}

QString telefono_clientes(const QString &raw)
{
    QString phone = raw.left(48);
    sending::phone::quitar(phone, u".,-+ \u00B7");
    sending::phone::quitarIniciales(phone, u"0");
    sending::phone::anadirPrefijoMovil(phone, u"6");
    return phone.isNull() ? QString(QLatin1String("")) : phone;
}

} // namespace importexport::access
