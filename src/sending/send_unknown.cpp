#include "sending/send_unknown.h"

namespace sending {

QString unknownOutcomeText()
{
    return QStringLiteral("No se ha recibido la respuesta del servidor. El SMS puede haberse enviado: compruebe el "
                          "historial antes de repetir el envío.");
}

QString unknownOutcomeLogLine(const QDateTime &now, const QString &recipients, const QString &message)
{
    return errorLogLine(now, QStringLiteral("Sin respuesta del servidor al enviar a destinatario: ") + recipients
                                 + QStringLiteral(". El SMS puede haberse enviado: compruebe el historial. Texto del "
                                                  "mensaje: ")
                                 + message);
}

namespace {

// A send whose outcome at the gateway is not known: a box for the user, or in automated mode a log
// line and the queue moving on.
using LogLine = QString (*)(const QDateTime &, const QString &, const QString &);
ReplyOutcome mayHaveSentOutcome(const SendRequest &request, const QDateTime &now, const QString &text, LogLine logLine)
{
    ReplyOutcome outcome;
    outcome.kind = ReplyKind::Unknown;
    outcome.queueStep = request.automated;
    if (request.automated) {
        outcome.errorLogLine = logLine(now, request.recipients, request.typedMessage);
    } else {
        outcome.messageTitle = QStringLiteral("Envío de SMS");
        outcome.messageText = text;
    }
    return outcome;
}

} // namespace

ReplyOutcome unknownReplyOutcome(const SendRequest &request, const QDateTime &now)
{
    return mayHaveSentOutcome(request, now, unknownOutcomeText(), unknownOutcomeLogLine);
}

QString unrecognisedReplyText()
{
    return QStringLiteral("La respuesta del servidor no se ha podido interpretar. El SMS puede haberse enviado: "
                          "compruebe el historial antes de repetir el envío.");
}

QString unrecognisedReplyLogLine(const QDateTime &now, const QString &recipients, const QString &message)
{
    return errorLogLine(now, QStringLiteral("Respuesta no reconocida del servidor al enviar a destinatario: ")
                                 + recipients
                                 + QStringLiteral(". El SMS puede haberse enviado: compruebe el historial antes de "
                                                  "repetir el envío. Texto del mensaje: ")
                                 + message);
}

ReplyOutcome unrecognisedReplyOutcome(const SendRequest &request, const QDateTime &now)
{
    return mayHaveSentOutcome(request, now, unrecognisedReplyText(), unrecognisedReplyLogLine);
}

} // namespace sending
