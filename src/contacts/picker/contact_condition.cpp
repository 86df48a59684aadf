#include "contacts/picker/contact_condition.h"

#include "contacts/birth_date.h"
#include "contacts/contact_filter.h"
#include "contacts/group_list.h"

#include <QDate>


namespace contacts::picker {

namespace {

// The birth date is stored as yyyy-MM-dd and shown as dd/MM/yyyy; the text operators look at it
// as the user sees it, so "03/1980" finds March 1980.
const QString kFechaVisible = QStringLiteral(
    "(CASE WHEN f_nacimiento GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' THEN substr(f_nacimiento, 9, 2) || '/' || "
    "substr(f_nacimiento, 6, 2) || '/' || substr(f_nacimiento, 1, 4) ELSE f_nacimiento END)");

QString columna(int campo, int operador)
{
    switch (campo) {
    case 1:
        return QStringLiteral("telefono");
    case 2:
        return QStringLiteral("nombre_completo");
    case 3:
        return QStringLiteral("direccion");
    case 4:
        return QStringLiteral("telefono_2");
    case 5:
        return QStringLiteral("comentario");
    case kCampoFecha:
        return operador == kOperadorMayor || operador == kOperadorMenor ? QStringLiteral("f_nacimiento")
                                                                         : kFechaVisible;
    default:
        return QStringLiteral("nombre");
    }
}

} // namespace

QStringList operadores()
{
    return operadoresFiltro();
}

QStringList campos()
{
    return camposFiltro();
}

ClausulaCampo clausulaCampo(int campo, int operador, const QString &palabras)
{
    if (operador < 0 || operador > kOperadorMenor)
        operador = 0;
    const QString col = columna(campo, operador);

    if (palabras.isEmpty()) {
        const bool pideVacio = (operador >= 4 && operador <= 7) || operador == kOperadorMenor;
        return {pideVacio ? Condicion{col + QStringLiteral(" = ''"), {}}
                          : Condicion{QStringLiteral("length(") + col + QStringLiteral(") > 0"), {}},
                {}};
    }

    QVariant valor = palabras;
    if (campo == kCampoFecha && (operador == kOperadorMayor || operador == kOperadorMenor)) {
        // The same dates as the contacts tab's filter and the editor take, day first.
        const std::optional<QDate> fecha = fechaDeTexto(palabras);
        if (!fecha)
            return {std::nullopt, QString::fromUtf8(kFechaFiltroInvalida)};
        valor = fechaAlmacenada(*fecha);
    }

    const bool comoTexto = !(campo == kCampoFecha && (operador == kOperadorMayor || operador == kOperadorMenor));
    return {Condicion{comparacion(col, Operador(operador), comoTexto).trimmed(), {valor}}, {}};
}

QString sqlMiembro()
{
    return condicionMiembro();
}

Condicion esMiembro(qint64 grupoSid)
{
    return {sqlMiembro(), {QString::number(grupoSid)}};
}

Condicion noEsMiembro(qint64 grupoSid)
{
    return {QStringLiteral("NOT (") + sqlMiembro() + QStringLiteral(")"), {QString::number(grupoSid)}};
}

} // namespace contacts::picker

namespace contacts {

Condicion operator&&(const Condicion &a, const Condicion &b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    return {QStringLiteral("(") + a.sql + QStringLiteral(") AND (") + b.sql + QStringLiteral(")"),
            a.valores + b.valores};
}

} // namespace contacts
