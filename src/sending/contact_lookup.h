#pragma once

#include "sending/keywords.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace db { class Connection; }

// What a send reads from the contact list for a list of recipients: one query for the
// whole list, the numbers handed over through a temporary table of bound values.
namespace sending {

// One contact's keyword values, by `ContactField`; nothing stands for a Null column. The birth
// date is already in its shown form "dd/MM/yyyy".
struct ContactValues {
    std::array<std::optional<QString>, kContactFieldCount> values;
    const std::optional<QString> &operator[](ContactField field) const
    {
        return values[static_cast<std::size_t>(field)];
    }
};

// The first contact (lowest `sid`) of each number that has one.
using ContactBook = QHash<QString, ContactValues>;

ContactBook loadContacts(db::Connection &connection, const QStringList &numbers);

// The longest stored value of each of the counter's six keywords among the contacts of
// `numbers`; 0 where no recipient's contact has one.
using LongestValues = std::array<int, 6>;
LongestValues longestContactValues(db::Connection &connection, const QStringList &numbers);

// The numbers of `numbers` that the contact book holds as they are written (each once).
QStringList numbersInContactBook(db::Connection &connection, const QStringList &numbers);

// A stored birth date ("yyyy-MM-dd", possibly with a time after it) as the message shows it,
// "dd/MM/yyyy"; any other text is left as it is.
QString shownBirthDate(const QString &stored);

} // namespace sending
