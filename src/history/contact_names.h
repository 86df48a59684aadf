#pragma once

#include "platform/db/connection.h"

#include <QHash>
#include <QString>
#include <QStringList>

// "Mostrar nombres": contact names for the numbers of a send (namesForList).
namespace history {

// A list is looked up only up to the first "," at or after its 1000th character; the rest is cut
// off (the caller's list too, as the old client did). A list with no such "," is kept whole.
QString cutForNames(const QString &list);

// Names of many numbers at once: one statement for a whole page instead of one per number.
class NameBook final {
public:
    // The first contact (lowest sid) with each number; numbers without a contact are absent.
    static NameBook lookup(db::Connection &connection, const QStringList &numbers, db::Result *result = nullptr);

    // The names text of a comma-separated list: each number's name, or the number itself, joined
    // by ", ". The list must already be cut (cutForNames).
    QString namesFor(const QString &list) const;

    qsizetype size() const { return m_names.size(); }

private:
    QHash<QString, QString> m_names;
};

// One list on its own, cut in place like the old client's by-reference argument.
QString namesForList(db::Connection &connection, QString &list);

} // namespace history
