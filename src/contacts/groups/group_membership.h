#pragma once

#include <QString>

// Edits of a contact's group list (`lista_grupos`: group sids joined by ",", empty for none).
// Entries are compared as whole numbers, so group 1 is never found in, or taken out of, "11".
namespace contacts::groups {

bool inGroupList(const QString &list, qint64 group);

// The list with the group added at the end; unchanged when it is already there. An empty list
// becomes the group alone.
QString listWithGroup(const QString &list, qint64 group);

// The list without the group (every occurrence), without empty entries or outer commas.
QString listWithoutGroup(const QString &list, qint64 group);

} // namespace contacts::groups
