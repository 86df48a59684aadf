#pragma once

#include "contacts/sql_condition.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace db { class Connection; }

// `filtro_contactos`: "show only those whose field X contains (equals, begins with ...) the words
// W", optionally only the members of one group, turned into a condition with bound values.
namespace contacts {

// The operator list, in its order (index 0 "contengan" ... 9 "menor que").
enum class FilterOperator { Contains, Equals, BeginsWith, EndsWith, NotContains, NotEquals, NotBeginsWith,
                      NotEndsWith, GreaterThan, LessThan };
// The field list, in its order; an index outside the list means "nombre".
enum class FilterField { Name, Phone, FullName, Address, Phone2, Comment, BirthDate };

QStringList filterOperators();
QStringList filterFields();

struct ContactFilter {
    int fieldIndex = 0;              // index in camposFiltro()
    int operatorIndex = 0;           // index in operadoresFiltro()
    QString words;           // W exactly as typed
    bool membersOnly = false;      // "Miembros de" ticked
    QString group;              // the group's name as the list shows it
};

struct FilterResult {
    enum class Status { Ok, InvalidDate, DatabaseError };
    Status status = Status::Ok;
    Condition condition;
    QString message;            // for the user when not Ok
    bool ok() const { return status == Status::Ok; }
};

// The condition for the field, operator and words alone; `group` (a group's sid) adds the
// membership test. Fails only for "mayor que"/"menor que" on the birth date with words that are
// not a date (DD/MM/AAAA or DD/MM/AA).
FilterResult filterCondition(int field, int op, const QString &words,
                                std::optional<qint64> group = std::nullopt);

// The filter tab's condition: as above, the group looked up by name when "Miembros de" is
// ticked (a name no longer in Grupos leaves the group part out).
FilterResult buildContactFilter(db::Connection &connection, const ContactFilter &filter);

// The column compared with one bound value ("?") by the operator, with a trailing blank. Texts
// compare without case for every letter (accents and "ñ" still count), and "mayor que" / "menor
// que" follow the Spanish order of the lists; a stored date (`asText` false) compares as stored.
// The words keep their LIKE wildcards ("%", "_"), as they always have. The database refuses LIKE
// patterns past 50,000 bytes: words longer than kMaxPatternWords characters (`wordsLength`) are
// looked for as they are, wildcards included, with no limit of length.
inline constexpr qsizetype kMaxPatternWords = 10000;
QString comparison(const QString &column, FilterOperator op, bool asText = true, qsizetype wordsLength = 0);

// The sid of the group called `name` (names compare without case, as the uniqueness test does).
std::optional<qint64> groupSidByName(db::Connection &connection, const QString &name);

// Lists of more numbers than this are matched against one bound text instead of an IN list,
// which SQLite caps at 999 values.
inline constexpr int kMaxInListValues = 500;
// The longest words the filter box takes: far beyond any name or comment, and room for the numbers
// of the largest send, which "Buscar envíos" and the history put there.
inline constexpr int kMaxFilterWords = 2000000;

inline constexpr auto kInvalidFilterDateMessage =
    "Para comparar la fecha de nacimiento escriba una fecha con el formato DD/MM/AAAA o DD/MM/AA. Un ejemplo "
    "de fecha valida seria: 23/10/1984 o 23/10/84";
inline constexpr auto kFilterTitle = "Filtrado de contactos";

} // namespace contacts
