#pragma once

#include <QString>

// `lista_grupos`: the groups of a contact (`Agenda.grupos_sid`), the sids joined by "," with no
// blanks and no comma at either end; empty (or Null) for no group. Membership is by whole number:
// the contact in "1,11" is not a member of group 111 nor of group 1 because of "11".
namespace contacts {

bool esMiembro(const QString &grupos, qint64 grupo);

// The list with `grupo` added at the end (unchanged when it is already there).
QString anadirGrupo(const QString &grupos, qint64 grupo);

// The list without `grupo` (every occurrence), keeping the format.
QString quitarGrupo(const QString &grupos, qint64 grupo);

// SQL test that a row of Agenda belongs to the group bound to the one "?" it holds.
QString condicionMiembro();

} // namespace contacts
