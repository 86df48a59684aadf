#include "contacts/birth_date.h"

#include "contacts/phone_number.h"

namespace contacts {

bool formatoFechaValido(const QString &texto)
{
    if (texto.size() != 8 && texto.size() != 10)
        return false;
    return esNumerico(texto.mid(0, 2)) && esNumerico(texto.mid(3, 2)) && esNumerico(texto.mid(6))
        && texto.at(2) == u'/' && texto.at(5) == u'/';
}

std::optional<QDate> fechaDeTexto(const QString &texto)
{
    if (!formatoFechaValido(texto))
        return std::nullopt;
    const int dia = texto.mid(0, 2).toInt();
    const int mes = texto.mid(3, 2).toInt();
    int anio = texto.mid(6).toInt();
    if (texto.size() == 8)
        anio += anio < 30 ? 2000 : 1900;
    const QDate fecha(anio, mes, dia);
    if (!fecha.isValid())
        return std::nullopt;
    return fecha;
}

QString fechaAlmacenada(const QDate &fecha)
{
    return fecha.toString(QStringLiteral("yyyy-MM-dd"));
}

QString fechaMostrada(const QString &almacenada)
{
    // Only the stored form itself, all of it: any other text is shown as it is, never cut.
    const QDate fecha = almacenada.size() == 10 ? QDate::fromString(almacenada, QStringLiteral("yyyy-MM-dd")) : QDate();
    if (!fecha.isValid())
        return almacenada;
    return fecha.toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace contacts
