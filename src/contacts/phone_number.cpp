#include "contacts/phone_number.h"

namespace contacts {

ComprobacionMovil comprobarMovil(const QString &texto)
{
    if (texto.isEmpty())
        return {ComprobacionMovil::Estado::Vacio, texto};
    const QString limpio = texto.trimmed();
    if (!esNumerico(limpio) || limpio.size() < 7)
        return {ComprobacionMovil::Estado::Invalido, limpio};
    QString movil = limpio;
    sending::phone::anadirPrefijoMovil(movil, u"6");
    return {movil == limpio ? ComprobacionMovil::Estado::Valido : ComprobacionMovil::Estado::PrefijoAnadido, movil};
}

} // namespace contacts
