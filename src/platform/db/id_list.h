#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A list of record ids kept as text, joined by "," (a contact's groups, `grupos_sid`). One rule
// reads it everywhere, in C++ and in SQL: each entry is a whole number of decimal digits, blanks
// around it and leading zeros allowed ("3, 07" holds 3 and 7); any other entry holds no id.
// Membership is by whole number: "11" does not hold 1.
namespace db {

// The id an entry holds, if any.
std::optional<qint64> idOfEntry(QStringView entry);

bool idListHas(QStringView list, qint64 id);

// The one editor of such a list. Both keep its format: entries joined by "," with no blanks, no
// empty entries and no comma at either end; a missing, empty or blank-only list holds nothing.
// The list with `id` added at the end; as it was when it already holds the id.
QString idListWith(const QString &list, qint64 id);
// The list without `id` (every occurrence); an emptied list is the empty text, never Null.
QString idListWithout(const QString &list, qint64 id);

// The SQL function every Connection registers: `en_lista(lista, id)` is 1 when the list holds
// the id (given as a number or as its text), else 0; a Null list holds nothing. Used only in the
// text of queries: `WHERE en_lista(grupos_sid, ?) = 1`.
inline constexpr char kIdListFunction[] = "en_lista";

} // namespace db
