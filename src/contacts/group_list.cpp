#include "contacts/group_list.h"

#include "platform/db/id_list.h"

#include <QStringList>

namespace contacts {

bool isMember(const QString &groups, qint64 group)
{
    return db::idListHas(groups, group);
}

QString withGroup(const QString &groups, qint64 group)
{
    if (groups.isEmpty())
        return QString::number(group);
    if (isMember(groups, group))
        return groups;
    return groups + QLatin1Char(',') + QString::number(group);
}

QString withoutGroup(const QString &groups, qint64 group)
{
    QStringList remaining;
    for (const QString &part : groups.split(u',', Qt::SkipEmptyParts)) {
        const QString entry = part.trimmed();
        if (!entry.isEmpty() && db::idOfEntry(entry) != group)
            remaining.append(entry);
    }
    // An emptied list is the empty text, never Null, as a contact in no group has always read.
    return remaining.isEmpty() ? QStringLiteral("") : remaining.join(u',');
}

QString memberConditionSql()
{
    // The same reading of the list as esMiembro: a missing list is no group (so that "NOT" of
    // this test holds for it too).
    return QStringLiteral("en_lista(grupos_sid, ?) = 1");
}

} // namespace contacts
