#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace db { class Connection; }

// The offer to save recipients that are not in the contact book, one number at a time: which
// number comes next, and the account's setting that switches the offer off.
namespace sending {

inline const QString kDontAsk = QStringLiteral("No preguntar");

// The recipient list as the offer walks it: the box's text without blanks, split on ",";
// positions count from 0.
QStringList offerList(const QString &box);

struct UnknownNumber {
    QString number;
    qint64 position = 0;
};

// The first number from `start` on that no contact has. A number counts as held when
// `known` has it whole, also once every "+" is taken from both sides; an empty entry is no
// number and is passed over.
std::optional<UnknownNumber> firstUnknown(const QStringList &list, const QStringList &known,
                                                   qint64 start);

// The numbers of `list` the contact book holds, written with or without their "+".
QStringList knownInContactBook(db::Connection &connection, const QStringList &list);

// True while the account row asks for the offer: `defecto_agenda` set and not "No preguntar".
// No account row, or a Null setting, means no offer.
bool offerEnabled(db::Connection &connection);

// "No preguntar de nuevo": the offer stays off from the next processing of the box on.
bool stopAsking(db::Connection &connection);

inline QString offerQuestion(const QString &number)
{
    return QStringLiteral("El teléfono '") + number
        + QStringLiteral("' no pertenece a su lista de contactos. Desea agregar el contaco?");
}

} // namespace sending
