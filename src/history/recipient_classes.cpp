#include "history/recipient_classes.h"

#include <QSet>

namespace history {

std::optional<RecipientClass> recipientClassFromText(const QString &recipientClass)
{
    if (recipientClass == QLatin1String("Destinatarios"))
        return RecipientClass::All;
    if (recipientClass == QLatin1String("Recibidos"))
        return RecipientClass::Received;
    if (recipientClass == QLatin1String("Pendientes"))
        return RecipientClass::Pending;
    if (recipientClass == QLatin1String("Fallidos"))
        return RecipientClass::Failed;
    return std::nullopt;
}

SendLookup readSend(db::Connection &connection, qint64 sid)
{
    SendLookup lookup;
    db::Result r;
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT destinatario, estado, f_envio, f_programada, mensaje, remitente FROM Historial "
                       "WHERE sid = ?1"),
        {sid}, &r);
    if (!r.ok()) {
        lookup.status = SendLookup::Status::DatabaseError;
        lookup.error = r.error;
        return lookup;
    }
    if (rows.empty())
        return lookup;
    const db::Row &row = rows.front();
    const auto text = [&row](int i) { return row.value(i).isValid() ? row.value(i).toString() : QString(); };
    lookup.status = SendLookup::Status::Ok;
    lookup.send = {text(0), text(1), text(2), text(3), text(4), text(5)};
    return lookup;
}

QStringList phonesOf(const QString &list)
{
    QStringList phones;
    for (QString n : list.split(QLatin1Char(','))) {
        n.remove(QLatin1Char(' '));
        n = n.trimmed();
        if (!n.isEmpty())
            phones << n;
    }
    return phones;
}

QString classList(RecipientClass recipientClass, const RecipientSend &send)
{
    if (recipientClass == RecipientClass::All)
        return phonesOf(send.recipients).join(QLatin1Char(','));
    const Breakdown d = parseDeliveryState(send.deliveryState, send.recipients);
    switch (recipientClass) {
    case RecipientClass::Received: return phonesOf(d.confirmed).join(QLatin1Char(','));
    case RecipientClass::Failed: return phonesOf(d.failed).join(QLatin1Char(','));
    case RecipientClass::Pending: return phonesOf(d.pending).join(QLatin1Char(','));
    case RecipientClass::All: break;
    }
    return {};
}

PhoneState phoneState(const QString &phone, const Breakdown &breakdown)
{
    // Whole numbers only: a number that is merely part of a confirmed one is not confirmed.
    if (phonesOf(breakdown.confirmed).contains(phone))
        return PhoneState::Confirmed;
    if (phonesOf(breakdown.failed).contains(phone))
        return PhoneState::Failed;
    if (phonesOf(breakdown.pending).contains(phone))
        return PhoneState::Unconfirmed;
    return PhoneState::None;
}

QString phoneStateText(PhoneState state)
{
    switch (state) {
    case PhoneState::Confirmed: return QStringLiteral("Confirmado");
    case PhoneState::Failed: return QStringLiteral("Fallido");
    case PhoneState::Unconfirmed: return QStringLiteral("Sin confirmar");
    case PhoneState::None: break;
    }
    return {};
}

std::optional<quint32> phoneStateColour(PhoneState state)
{
    switch (state) {
    case PhoneState::Confirmed: return 0x00FF00u;     // the old client's 65280
    case PhoneState::Failed: return 0xFF0000u;        // the old client's 255
    case PhoneState::Unconfirmed: return 0xFFCC77u;   // RGB 255, 204, 119
    case PhoneState::None: break;
    }
    return std::nullopt;
}

bool filterNeedsGroup(const QString &list)
{
    return list.size() > kFilterLimit;
}

QString estimatedGroupTime(qsizetype characters)
{
    // 131.140625 / 262078 seconds a character, worked out in whole numbers (131.140625 = 8393 / 64)
    // so that the boundaries never depend on rounding.
    const qint64 seconds = qint64(characters) * 8393 / (64 * qint64(262078));
    if (seconds > 60)
        return QStringLiteral("%1 min %2 seg").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 seg").arg(seconds);
}

QString keptRecipientsText(const QString &text)
{
    return text.trimmed().size() > 1 ? text : QString();
}

QString groupNamePrompt(qsizetype characters)
{
    return QStringLiteral("Por favor, indique el nombre del nuevo grupo. Se incluirán en este grupo todos los "
                          "contactos existentes con los números de teléfono seleccionados. Tiempo estimado: ")
        + estimatedGroupTime(characters);
}

QString groupExistsMessage(const QString &name)
{
    return QStringLiteral("Ya existe un grupo con el nombre '") + name
        + QStringLiteral("'. Por favor, introduzca otro nombre para el grupo, o dejelo vacío para cancelar.");
}

} // namespace history
