#pragma once

#include "contacts/sql_condition.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

// The contact condition that the recipient picker and the group administration build from their
// own filter rows ("Mostrar sólo los que ... la(s) palabra(s) ... en el campo ..."). The words go
// in as bound values, so quotes, accents and "|" in them are just text.
namespace contacts::picker {

// The operator list (index 0-9) and the field list (index 0-6), in the order the combos show them.
QStringList operators();
QStringList fields();

inline constexpr int kBirthDateField = 6;       // "fecha de nacimiento"
inline constexpr int kGreaterThanOperator = 8;    // "mayor que"
inline constexpr int kLessThanOperator = 9;    // "menor que"

struct FieldClause {
    std::optional<Condition> condition;     // empty when the words cannot be used
    QString error;                          // why, for the user
};

// The field clause for the chosen field, operator and words (taken exactly as typed). With no
// words the clause tests for an empty or a non-empty field. "coincidan" on the phone field is a
// plain comparison here, also with commas in the words. A birth date compared with "mayor que" or
// "menor que" must be a date (dd/mm/aaaa); the other operators look at the date as it is shown.
FieldClause fieldClause(int field, int op, const QString &words);

// Membership of `lista_grupos` in the group `groupSid`, as a whole number ("1" is not in "11").
Condition memberCondition(qint64 groupSid);
// Not a member, an empty or missing list included.
Condition nonMemberCondition(qint64 groupSid);

// The SQL text of the test above, for statements that build their own (one "?" for the sid).
QString memberSql();

// The title of the boxes that report a filter the database cannot use.
inline constexpr auto kFilterTitle = "Filtrado de contactos";

} // namespace contacts::picker
