#include "sending/send_unknown.h"

namespace sending {

QString unknownOutcomeText()
{
    return QStringLiteral("No se ha recibido la respuesta del servidor. El SMS puede haberse enviado: compruebe el "
                          "historial antes de repetir el envío.");
}

QString unknownOutcomeLogLine(const QDateTime &now, const QString &recipients, const QString &message)
{
    return now.toString(QStringLiteral("dd/MM/yyyy H:mm:ss"))
           + QStringLiteral("--- Sin respuesta del servidor al enviar a destinatario: ") + recipients
           + QStringLiteral(". El SMS puede haberse enviado: compruebe el historial. Texto del mensaje: ") + message
           + QStringLiteral("\r\n");
}

ReplyOutcome unknownReplyOutcome(const SendRequest &request, const QDateTime &now)
{
    ReplyOutcome outcome;
    outcome.kind = ReplyKind::Unknown;
    outcome.queueStep = request.automated;
    if (request.automated) {
        outcome.errorLogLine = unknownOutcomeLogLine(now, request.recipients, request.typedMessage);
    } else {
        outcome.messageTitle = QStringLiteral("Envío de SMS");
        outcome.messageText = unknownOutcomeText();
    }
    return outcome;
}

QString unrecognisedReplyText()
{
    return QStringLiteral("La respuesta del servidor no se ha podido interpretar. El SMS puede haberse enviado: "
                          "compruebe el historial antes de repetir el envío.");
}

QString unrecognisedReplyLogLine(const QDateTime &now, const QString &recipients, const QString &message)
{
    return now.toString(QStringLiteral("dd/MM/yyyy H:mm:ss"))
           + QStringLiteral("--- Respuesta no reconocida del servidor al enviar a destinatario: ") + recipients
           + QStringLiteral(". El SMS puede haberse enviado: compruebe el historial antes de repetir el envío. "
                            "Texto del mensaje: ")
           + message + QStringLiteral("\r\n");
}

ReplyOutcome unrecognisedReplyOutcome(const SendRequest &request, const QDateTime &now)
{
    ReplyOutcome outcome;
    outcome.kind = ReplyKind::Unknown;
    outcome.queueStep = request.automated;
    if (request.automated) {
        outcome.errorLogLine = unrecognisedReplyLogLine(now, request.recipients, request.typedMessage);
    } else {
        outcome.messageTitle = QStringLiteral("Envío de SMS");
        outcome.messageText = unrecognisedReplyText();
    }
    return outcome;
}

} // namespace sending
