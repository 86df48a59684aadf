#include "sending/offer/unknown_numbers.h"

#include "database/account_row.h"
#include "platform/db/connection.h"
#include "sending/contact_lookup.h"

#include <QSet>

namespace sending {

namespace {

QString withoutPlus(QString number)
{
    return number.remove(QLatin1Char('+'));
}

} // namespace

QStringList offerList(const QString &box)
{
    QString text = box;
    text.remove(QLatin1Char(' '));
    return text.split(QLatin1Char(','));
}

std::optional<UnknownNumber> firstUnknown(const QStringList &list, const QStringList &known,
                                                   qint64 start)
{
    QSet<QString> asWritten;
    QSet<QString> withoutSign;
    for (const QString &knownNumber : known) {
        asWritten.insert(knownNumber);
        withoutSign.insert(withoutPlus(knownNumber));
    }
    for (qint64 i = std::max<qint64>(start, 0); i < list.size(); ++i) {
        const QString &number = list.at(i);
        if (number.isEmpty() || withoutPlus(number).isEmpty())
            continue;
        if (asWritten.contains(number) || withoutSign.contains(withoutPlus(number)))
            continue;
        return UnknownNumber{number, i};
    }
    return std::nullopt;
}

QStringList knownInContactBook(db::Connection &connection, const QStringList &list)
{
    // `Agenda` may keep a number with its "+" or without it: both forms are looked for.
    QSet<QString> lookFor;
    for (const QString &number : list) {
        if (number.isEmpty())
            continue;
        const QString bare = withoutPlus(number);
        lookFor << number << bare << QLatin1Char('+') + bare;
    }
    return numbersInContactBook(connection, QStringList(lookFor.cbegin(), lookFor.cend()));
}

bool offerEnabled(db::Connection &connection)
{
    const std::vector<db::Row> rows =
        connection.select(database::accountRowQuery(QStringLiteral("defecto_agenda")));
    if (rows.empty())
        return false;
    const QVariant value = rows.front().value(0);
    return value.isValid() && !value.isNull() && value.toString() != kDontAsk;
}

bool stopAsking(db::Connection &connection)
{
    return connection.execute(QStringLiteral("UPDATE Usuario SET defecto_agenda = ?1"), {kDontAsk}).ok();
}

} // namespace sending
