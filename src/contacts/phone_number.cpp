#include "contacts/phone_number.h"

namespace contacts {

ComprobacionMovil comprobarMovil(const QString &text)
{
    if (text.isEmpty())
        return {ComprobacionMovil::Estado::Vacio, text};
    const QString cleaned = text.trimmed();
    if (!esNumerico(cleaned) || cleaned.size() < 7)
        return {ComprobacionMovil::Estado::Invalido, cleaned};
    QString mobile = cleaned;
    sending::phone::anadirPrefijoMovil(mobile, u"6");
    return {mobile == cleaned ? ComprobacionMovil::Estado::Valido : ComprobacionMovil::Estado::PrefijoAnadido, mobile};
}

} // namespace contacts
