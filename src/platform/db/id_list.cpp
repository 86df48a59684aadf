#include "platform/db/id_list.h"

#include <QList>
#include <QStringList>

namespace db {

std::optional<qint64> idOfEntry(QStringView entry)
{
    const QStringView digits = entry.trimmed();
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    qint64 id = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        id = id * 10 + (c.unicode() - '0');
    }
    return id;
}

bool idListHas(QStringView list, qint64 id)
{
    for (const QStringView entry : list.split(u',')) {
        if (idOfEntry(entry) == id)
            return true;
    }
    return false;
}

namespace {

// The list's entries without blanks around them, empty ones left out, except those `drop` names.
template <typename Drop>
QStringList keptEntries(const QString &list, Drop drop)
{
    QStringList kept;
    for (const QStringView entry : QStringView(list).split(u',')) {
        const QStringView e = entry.trimmed();
        if (!e.isEmpty() && !drop(e))
            kept.append(e.toString());
    }
    return kept;
}

} // namespace

QString idListWith(const QString &list, qint64 id)
{
    if (idListHas(list, id))
        return list;
    QStringList entries = keptEntries(list, [](QStringView) { return false; });
    entries.append(QString::number(id));
    return entries.join(u',');
}

QString idListWithout(const QString &list, qint64 id)
{
    const QStringList entries = keptEntries(list, [id](QStringView e) { return idOfEntry(e) == id; });
    // Never Null: a contact in no group has always read as the empty text.
    return entries.isEmpty() ? QStringLiteral("") : entries.join(u',');
}

} // namespace db
