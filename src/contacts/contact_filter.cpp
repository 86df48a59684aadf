#include "contacts/contact_filter.h"

#include "contacts/birth_date.h"
#include "contacts/group_list.h"
#include "platform/db/connection.h"

namespace contacts {

namespace {

const char *const kColumns[] = {"nombre", "telefono", "nombre_completo", "direccion", "telefono_2", "comentario",
                                 "f_nacimiento"};

// The birth date compared as text reads as the user sees it, day first: "23/10/1984".
// Only a stored yyyy-MM-dd is turned round; any other text is compared as it stands.
const QString kDateAsShownSql = QStringLiteral(
    "(CASE WHEN f_nacimiento GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' THEN substr(f_nacimiento,9,2) || '/' || "
    "substr(f_nacimiento,6,2) || '/' || substr(f_nacimiento,1,4) ELSE f_nacimiento END)");

FilterField fieldOf(int index)
{
    if (index < 0 || index > int(FilterField::FechaNacimiento))
        return FilterField::Nombre;
    return FilterField(index);
}

FilterOperator operatorOf(int index)
{
    if (index < 0 || index > int(FilterOperator::MenorQue))
        return FilterOperator::Contengan;
    return FilterOperator(index);
}

bool isComparison(FilterOperator op)
{
    return op == FilterOperator::MayorQue || op == FilterOperator::MenorQue;
}

QString columnOf(FilterField field, FilterOperator op)
{
    if (field == FilterField::FechaNacimiento && !isComparison(op))
        return kDateAsShownSql;
    return QString::fromLatin1(kColumns[int(field)]);
}

// "telefono IN (...)": each number of the comma list, blanks removed, matched as a whole.
Condicion phoneList(const QString &words)
{
    QString cleaned = words;
    cleaned.remove(QLatin1Char(' '));
    const QStringList numbers = cleaned.split(QLatin1Char(','));
    Condicion c;
    if (numbers.size() > kMaxValoresIn) {
        c.sql = QStringLiteral("instr(',' || ? || ',', ',' || telefono || ',') > 0 ");
        c.valores = {cleaned};
        return c;
    }
    QStringList placeholders;
    for (const QString &number : numbers) {
        placeholders << QStringLiteral("?");
        c.valores << number;
    }
    c.sql = QStringLiteral("telefono IN (") + placeholders.join(QLatin1Char(',')) + QStringLiteral(") ");
    return c;
}

} // namespace

QStringList operadoresFiltro()
{
    return {QStringLiteral("contengan"),    QStringLiteral("coincidan"),    QStringLiteral("empiecen"),
            QStringLiteral("acaben"),       QStringLiteral("no contengan"), QStringLiteral("no coincidan"),
            QStringLiteral("no empiecen"),  QStringLiteral("no acaben"),    QStringLiteral("mayor que"),
            QStringLiteral("menor que")};
}

QStringList camposFiltro()
{
    return {QStringLiteral("nombre"),        QStringLiteral("teléfono"),   QStringLiteral("nombre completo"),
            QStringLiteral("dirección"),     QStringLiteral("otro teléfono"), QStringLiteral("comentario"),
            QStringLiteral("fecha de nacimiento")};
}

QString comparacion(const QString &column, FilterOperator op, bool asText)
{
    const QString folded = QStringLiteral("fold(") + column + QStringLiteral(")");
    const QString collation = asText ? QStringLiteral(" COLLATE ESPANOL ") : QStringLiteral(" ");
    switch (op) {
    case FilterOperator::Contengan:
        return folded + QStringLiteral(" LIKE '%' || fold(?) || '%' ");
    case FilterOperator::Coincidan:
        return column + QStringLiteral(" = ?") + collation;
    case FilterOperator::Empiecen:
        return folded + QStringLiteral(" LIKE fold(?) || '%' ");
    case FilterOperator::Acaben:
        return folded + QStringLiteral(" LIKE '%' || fold(?) ");
    case FilterOperator::NoContengan:
        return folded + QStringLiteral(" NOT LIKE '%' || fold(?) || '%' ");
    case FilterOperator::NoCoincidan:
        return column + QStringLiteral(" <> ?") + collation;
    case FilterOperator::NoEmpiecen:
        return folded + QStringLiteral(" NOT LIKE fold(?) || '%' ");
    case FilterOperator::NoAcaben:
        return folded + QStringLiteral(" NOT LIKE '%' || fold(?) ");
    case FilterOperator::MayorQue:
        return column + QStringLiteral(" > ?") + collation;
    case FilterOperator::MenorQue:
        return column + QStringLiteral(" < ?") + collation;
    }
    return column + QStringLiteral(" = ?") + collation;
}

ResultadoFiltro condicionFiltro(int fieldIndex, int operatorIndex, const QString &w, std::optional<qint64> group)
{
    const FilterField field = fieldOf(fieldIndex);
    const FilterOperator op = operatorOf(operatorIndex);
    const QString col = columnOf(field, op);
    ResultadoFiltro r;
    Condicion &c = r.condicion;

    if (w.isEmpty()) {
        switch (op) {
        case FilterOperator::NoContengan:
        case FilterOperator::NoCoincidan:
        case FilterOperator::NoEmpiecen:
        case FilterOperator::NoAcaben:
        case FilterOperator::MenorQue:
            c.sql = col + QStringLiteral(" = '' ");
            break;
        default:
            c.sql = QStringLiteral("length(") + col + QStringLiteral(") > 0 ");
            break;
        }
    } else if (field == FilterField::FechaNacimiento && isComparison(op)) {
        const std::optional<QDate> date = fechaDeTexto(w);
        if (!date) {
            r.estado = ResultadoFiltro::Status::FechaInvalida;
            r.mensaje = QString::fromUtf8(kFechaFiltroInvalida);
            return r;
        }
        c.sql = comparacion(col, op, false);
        c.valores = {fechaAlmacenada(*date)};
    } else {
        if (op == FilterOperator::Coincidan && field == FilterField::Telefono && w.contains(QLatin1Char(',')))
            c = phoneList(w);
        else
            c = {comparacion(col, op), {w}};
    }

    if (group) {
        c.sql = QStringLiteral("(") + c.sql + QStringLiteral(" AND ") + condicionMiembro() + QStringLiteral(") ");
        c.valores << QString::number(*group);
    }
    return r;
}

std::optional<qint64> sidDeGrupo(db::Connection &connection, const QString &name)
{
    const QVariant sid =
        connection.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {name});
    if (!sid.isValid())
        return std::nullopt;
    return sid.toLongLong();
}

ResultadoFiltro f_filtrar_agenda(db::Connection &connection, const FiltroContactos &filter)
{
    std::optional<qint64> group;
    if (filter.miembros)
        group = sidDeGrupo(connection, filter.grupo);
    return condicionFiltro(filter.campo, filter.operador, filter.palabras, group);
}

} // namespace contacts
