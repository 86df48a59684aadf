#include "contacts/phone_number.h"

namespace contacts {

QString f_normalizar_telefono(QString &telefono)
{
    for (const QChar c : {u'+', u'(', u')', u'-', u'.', u' ', u','})
        telefono.remove(c);
    if (telefono.size() == 9 && (telefono.front() == u'6' || telefono.front() == u'7'))
        telefono.prepend(QStringLiteral("34"));
    qsizetype ceros = 0;
    while (ceros < telefono.size() && telefono.at(ceros) == u'0')
        ++ceros;
    telefono.remove(0, ceros);
    return telefono;
}

QString normalizarTelefono(const QString &telefono)
{
    QString copia = telefono;
    return f_normalizar_telefono(copia);
}

bool esNumerico(const QString &texto)
{
    if (texto.isEmpty())
        return false;
    for (const QChar c : texto) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

ComprobacionMovil comprobarMovil(const QString &texto)
{
    if (texto.isEmpty())
        return {ComprobacionMovil::Estado::Vacio, texto};
    const QString limpio = texto.trimmed();
    if (!esNumerico(limpio) || limpio.size() < 7)
        return {ComprobacionMovil::Estado::Invalido, limpio};
    if (limpio.size() == 9 && limpio.front() == u'6')
        return {ComprobacionMovil::Estado::PrefijoAnadido, QStringLiteral("34") + limpio};
    return {ComprobacionMovil::Estado::Valido, limpio};
}

} // namespace contacts
