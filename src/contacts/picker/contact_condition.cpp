#include "contacts/picker/contact_condition.h"

#include "contacts/birth_date.h"
#include "contacts/contact_filter.h"
#include "contacts/group_list.h"

#include <QDate>


namespace contacts::picker {

namespace {

// The birth date is stored as yyyy-MM-dd and shown as dd/MM/yyyy; the text operators look at it
// as the user sees it, so "03/1980" finds March 1980.
const QString kShownDateSql = QStringLiteral(
    "(CASE WHEN f_nacimiento GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' THEN substr(f_nacimiento, 9, 2) || '/' || "
    "substr(f_nacimiento, 6, 2) || '/' || substr(f_nacimiento, 1, 4) ELSE f_nacimiento END)");

QString column(int field, int op)
{
    switch (field) {
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
    case kBirthDateField:
        return op == kGreaterThanOperator || op == kLessThanOperator ? QStringLiteral("f_nacimiento")
                                                                         : kShownDateSql;
    default:
        return QStringLiteral("nombre");
    }
}

} // namespace

QStringList operators()
{
    return filterOperators();
}

QStringList fields()
{
    return filterFields();
}

FieldClause fieldClause(int field, int op, const QString &words)
{
    if (op < 0 || op > kLessThanOperator)
        op = 0;
    const QString col = column(field, op);

    if (words.isEmpty()) {
        const bool asksEmpty = (op >= 4 && op <= 7) || op == kLessThanOperator;
        return {asksEmpty ? Condition{col + QStringLiteral(" = ''"), {}}
                          : Condition{QStringLiteral("length(") + col + QStringLiteral(") > 0"), {}},
                {}};
    }

    QVariant value = words;
    if (field == kBirthDateField && (op == kGreaterThanOperator || op == kLessThanOperator)) {
        // The same dates as the contacts tab's filter and the editor take, day first.
        const std::optional<QDate> date = dateFromText(words);
        if (!date)
            return {std::nullopt, QString::fromUtf8(kInvalidFilterDateMessage)};
        value = storedDate(*date);
    }

    const bool asText = !(field == kBirthDateField && (op == kGreaterThanOperator || op == kLessThanOperator));
    return {Condition{comparison(col, FilterOperator(op), asText, words.size()).trimmed(), {value}}, {}};
}

QString memberSql()
{
    return memberConditionSql();
}

Condition memberCondition(qint64 groupSid)
{
    return {memberSql(), {QString::number(groupSid)}};
}

Condition nonMemberCondition(qint64 groupSid)
{
    return {QStringLiteral("NOT (") + memberSql() + QStringLiteral(")"), {QString::number(groupSid)}};
}

} // namespace contacts::picker

namespace contacts {

Condition operator&&(const Condition &a, const Condition &b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    return {QStringLiteral("(") + a.sql + QStringLiteral(") AND (") + b.sql + QStringLiteral(")"),
            a.values + b.values};
}

} // namespace contacts
