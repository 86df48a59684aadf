#pragma once

#include <QString>

// `lista_grupos`: the groups of a contact (`Agenda.grupos_sid`), the sids joined by "," with no
// blanks and no comma at either end; empty (or Null) for no group. Membership is by whole number:
// the contact in "1,11" is not a member of group 111 nor of group 1 because of "11". The list is
// read and edited by db::idListHas, db::idListWith and db::idListWithout, and nothing else.
namespace contacts {

// SQL test that a row of Agenda belongs to the group bound to the one "?" it holds.
QString memberConditionSql();

} // namespace contacts
