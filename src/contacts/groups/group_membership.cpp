#include "contacts/groups/group_membership.h"

#include "platform/db/id_list.h"

#include <QStringList>

#include <algorithm>

namespace contacts::groups {

namespace {

bool isGroup(const QString &entry, qint64 group)
{
    return db::idOfEntry(entry) == group;
}

} // namespace

bool inGroupList(const QString &list, qint64 group)
{
    const QStringList entries = list.split(QLatin1Char(','));
    return std::any_of(entries.cbegin(), entries.cend(),
                       [group](const QString &entry) { return isGroup(entry, group); });
}

QString listWithGroup(const QString &list, qint64 group)
{
    if (list.trimmed().isEmpty())
        return QString::number(group);
    if (inGroupList(list, group))
        return list;
    return list + QLatin1Char(',') + QString::number(group);
}

QString listWithoutGroup(const QString &list, qint64 group)
{
    QStringList remaining;
    for (const QString &entry : list.split(QLatin1Char(','))) {
        const QString e = entry.trimmed();
        if (!e.isEmpty() && !isGroup(e, group))
            remaining << e;
    }
    return remaining.join(QLatin1Char(','));
}

} // namespace contacts::groups
