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
    if (index < 0 || index > int(FilterField::BirthDate))
        return FilterField::Name;
    return FilterField(index);
}

FilterOperator operatorOf(int index)
{
    if (index < 0 || index > int(FilterOperator::LessThan))
        return FilterOperator::Contains;
    return FilterOperator(index);
}

bool isComparison(FilterOperator op)
{
    return op == FilterOperator::GreaterThan || op == FilterOperator::LessThan;
}

QString columnOf(FilterField field, FilterOperator op)
{
    if (field == FilterField::BirthDate && !isComparison(op))
        return kDateAsShownSql;
    return QString::fromLatin1(kColumns[int(field)]);
}

// "telefono IN (...)": each number of the comma list, blanks removed, matched as a whole.
Condition phoneList(const QString &words)
{
    QString cleaned = words;
    cleaned.remove(QLatin1Char(' '));
    const QStringList numbers = cleaned.split(QLatin1Char(','));
    Condition c;
    if (numbers.size() > kMaxInListValues) {
        c.sql = QStringLiteral("instr(',' || ? || ',', ',' || telefono || ',') > 0 ");
        c.values = {cleaned};
        return c;
    }
    QStringList placeholders;
    for (const QString &number : numbers) {
        placeholders << QStringLiteral("?");
        c.values << number;
    }
    c.sql = QStringLiteral("telefono IN (") + placeholders.join(QLatin1Char(',')) + QStringLiteral(") ");
    return c;
}

} // namespace

QStringList filterOperators()
{
    return {QStringLiteral("contengan"),    QStringLiteral("coincidan"),    QStringLiteral("empiecen"),
            QStringLiteral("acaben"),       QStringLiteral("no contengan"), QStringLiteral("no coincidan"),
            QStringLiteral("no empiecen"),  QStringLiteral("no acaben"),    QStringLiteral("mayor que"),
            QStringLiteral("menor que")};
}

QStringList filterFields()
{
    return {QStringLiteral("nombre"),        QStringLiteral("teléfono"),   QStringLiteral("nombre completo"),
            QStringLiteral("dirección"),     QStringLiteral("otro teléfono"), QStringLiteral("comentario"),
            QStringLiteral("fecha de nacimiento")};
}

QString comparison(const QString &column, FilterOperator op, bool asText, qsizetype wordsLength)
{
    const QString folded = QStringLiteral("fold(") + column + QStringLiteral(")");
    const QString collation = asText ? QStringLiteral(" COLLATE ESPANOL ") : QStringLiteral(" ");
    if (wordsLength > kMaxPatternWords) {
        // The same questions without a pattern: where the words stand in the folded column.
        const QString contains = QStringLiteral("instr(") + folded + QStringLiteral(", fold(?)) > 0");
        const QString begins = QStringLiteral("instr(") + folded + QStringLiteral(", fold(?)) = 1");
        const QString ends = QStringLiteral("(SELECT substr(") + folded
            + QStringLiteral(", -length(w)) = w FROM (SELECT fold(?) AS w))");
        switch (op) {
        case FilterOperator::Contains: return contains + QLatin1Char(' ');
        case FilterOperator::BeginsWith: return begins + QLatin1Char(' ');
        case FilterOperator::EndsWith: return ends + QLatin1Char(' ');
        case FilterOperator::NotContains: return QStringLiteral("NOT ") + contains + QLatin1Char(' ');
        case FilterOperator::NotBeginsWith: return QStringLiteral("NOT ") + begins + QLatin1Char(' ');
        case FilterOperator::NotEndsWith: return QStringLiteral("NOT ") + ends + QLatin1Char(' ');
        default: break;
        }
    }
    switch (op) {
    case FilterOperator::Contains:
        return folded + QStringLiteral(" LIKE '%' || fold(?) || '%' ");
    case FilterOperator::Equals:
        return column + QStringLiteral(" = ?") + collation;
    case FilterOperator::BeginsWith:
        return folded + QStringLiteral(" LIKE fold(?) || '%' ");
    case FilterOperator::EndsWith:
        return folded + QStringLiteral(" LIKE '%' || fold(?) ");
    case FilterOperator::NotContains:
        return folded + QStringLiteral(" NOT LIKE '%' || fold(?) || '%' ");
    case FilterOperator::NotEquals:
        return column + QStringLiteral(" <> ?") + collation;
    case FilterOperator::NotBeginsWith:
        return folded + QStringLiteral(" NOT LIKE fold(?) || '%' ");
    case FilterOperator::NotEndsWith:
        return folded + QStringLiteral(" NOT LIKE '%' || fold(?) ");
    case FilterOperator::GreaterThan:
        return column + QStringLiteral(" > ?") + collation;
    case FilterOperator::LessThan:
        return column + QStringLiteral(" < ?") + collation;
    }
    return column + QStringLiteral(" = ?") + collation;
}

FilterResult filterCondition(int fieldIndex, int operatorIndex, const QString &w, std::optional<qint64> group)
{
    const FilterField field = fieldOf(fieldIndex);
    const FilterOperator op = operatorOf(operatorIndex);
    const QString col = columnOf(field, op);
    FilterResult r;
    Condition &c = r.condition;

    if (w.isEmpty()) {
        switch (op) {
        case FilterOperator::NotContains:
        case FilterOperator::NotEquals:
        case FilterOperator::NotBeginsWith:
        case FilterOperator::NotEndsWith:
        case FilterOperator::LessThan:
            c.sql = col + QStringLiteral(" = '' ");
            break;
        default:
            c.sql = QStringLiteral("length(") + col + QStringLiteral(") > 0 ");
            break;
        }
    } else if (field == FilterField::BirthDate && isComparison(op)) {
        const std::optional<QDate> date = dateFromText(w);
        if (!date) {
            r.status = FilterResult::Status::InvalidDate;
            r.message = QString::fromUtf8(kInvalidFilterDateMessage);
            return r;
        }
        c.sql = comparison(col, op, false);
        c.values = {storedDate(*date)};
    } else {
        if (op == FilterOperator::Equals && field == FilterField::Phone && w.contains(QLatin1Char(',')))
            c = phoneList(w);
        else
            c = {comparison(col, op, true, w.size()), {w}};
    }

    if (group) {
        c.sql = QStringLiteral("(") + c.sql + QStringLiteral(" AND ") + memberConditionSql() + QStringLiteral(") ");
        c.values << QString::number(*group);
    }
    return r;
}

std::optional<qint64> groupSidByName(db::Connection &connection, const QString &name)
{
    const QVariant sid =
        connection.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {name});
    if (!sid.isValid())
        return std::nullopt;
    return sid.toLongLong();
}

FilterResult buildContactFilter(db::Connection &connection, const ContactFilter &filter)
{
    std::optional<qint64> group;
    if (filter.membersOnly)
        group = groupSidByName(connection, filter.group);
    return filterCondition(filter.fieldIndex, filter.operatorIndex, filter.words, group);
}

} // namespace contacts
