#include "sending/send_command.h"

#include "brand/brand.h"
#include "sending/keywords.h"
#include "sending/send_time.h"

namespace sending {
namespace {

PreparedSend refused(PrepareStatus status, const QString &title, const QString &text)
{
    PreparedSend out;
    out.status = status;
    out.messageTitle = title;
    out.messageText = text;
    return out;
}

bool holdsContactKeyword(const QString &message)
{
    if (!message.contains(QLatin1Char('[')))
        return false;
    for (const auto &keyword : contactKeywords()) {
        if (!spellingsIn(message, keyword.field).isEmpty())
            return true;
    }
    return false;
}

} // namespace

PreparedSend prepareSend(const PanelValues &panel, const std::optional<AccountValues> &account,
                           db::Connection &connection, const AskValue &ask, const QDateTime &now)
{
    if (panel.recipients.isEmpty() || panel.message.isEmpty())
        return refused(PrepareStatus::EmptyFields, QStringLiteral("Error"),
                       QStringLiteral("El mensaje y el destinatario son campos que no pueden estar vacíos. Reviselos"));
    if (!account)
        return refused(PrepareStatus::NoAccount, QStringLiteral("Necesaria autentificación"),
                       QStringLiteral("Por favor, primero introduzca la configuración en el menú Archivo."));

    const SendTime time =
        computeSendTime(panel.scheduledTime, account->timeZone, panel.appointment, panel.appointmentHours);
    if (time.status == SendTimeStatus::Invalid)
        return refused(PrepareStatus::InvalidTime, QStringLiteral("Error"),
                       QStringLiteral("La fecha de envío no es válida. Por favor, elíjala de nuevo."));

    const QString withDates = fillDateKeywords(panel.message, time.keywordTime, wallClock(now));
    const QString recipients = postedRecipients(panel.recipients);
    const QStringList numbers = recipients.split(QLatin1Char(','), Qt::SkipEmptyParts);

    PersonalValues values;
    if (holdsContactKeyword(withDates)) {
        const ContactBook book = loadContacts(connection, numbers);
        values = collectPersonalValues(withDates, numbers, book, ask);
        if (values.status == ValuesStatus::Cancelled)
            return refused(PrepareStatus::Cancelled, QStringLiteral("Envío cancelado"),
                           QStringLiteral("El envio ha sido cancelado a peticion suya."));
    }

    PreparedSend out;
    SendRequest &request = out.request;
    request.username = account->login;
    request.password = account->pass;
    request.message = reduceConfirmForms(withDates);
    request.recipients = recipients;
    request.sender = panel.sender.isEmpty() ? brand::defaultSender() : panel.sender;
    request.route = postedRoute(account->route);
    request.sendTime = panel.automated ? QString() : time.gatewayTime;
    request.extra = sendVariables(withDates, values);
    request.automated = panel.automated;
    request.recordedTime = time.recordedTime;
    // One recipient is recorded with his own values; a list keeps the keywords as written.
    request.recordedMessage = !request.extra.isEmpty() && panel.recipients.size() < 15
                                  ? personalizedPreview(withDates, values)
                                  : withDates;
    request.typedMessage = panel.message;
    return out;
}

} // namespace sending
