#include "contacts/phone_number.h"

namespace contacts {

ComprobacionMovil comprobarMovil(const QString &text)
{
    if (text.isEmpty())
        return {ComprobacionMovil::Status::Vacio, text};
    const QString cleaned = text.trimmed();
    if (!esNumerico(cleaned) || cleaned.size() < 7)
        return {ComprobacionMovil::Status::Invalido, cleaned};
    QString mobile = cleaned;
    sending::phone::anadirPrefijoMovil(mobile, u"6");
    return {mobile == cleaned ? ComprobacionMovil::Status::Valido : ComprobacionMovil::Status::PrefijoAnadido, mobile};
}

} // namespace contacts
