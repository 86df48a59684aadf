#pragma once

#include <QString>

// `lista_grupos`: the groups of a contact (`Agenda.grupos_sid`), the sids joined by "," with no
// blanks and no comma at either end; empty (or Null) for no group. Membership is by whole number:
// the contact in "1,11" is not a member of group 111 nor of group 1 because of "11".
namespace contacts {

bool isMember(const QString &groups, qint64 group);

// The list with `group` added at the end (unchanged when it is already there).
QString withGroup(const QString &groups, qint64 group);

// The list without `group` (every occurrence), keeping the format.
QString withoutGroup(const QString &groups, qint64 group);

// SQL test that a row of Agenda belongs to the group bound to the one "?" it holds.
QString memberConditionSql();

} // namespace contacts
