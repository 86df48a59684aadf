#include "contacts/group_list.h"

namespace contacts {

QString memberConditionSql()
{
    // The same reading of the list as esMiembro: a missing list is no group (so that "NOT" of
    // this test holds for it too).
    return QStringLiteral("en_lista(grupos_sid, ?) = 1");
}

} // namespace contacts
