#include "sending/send_unknown.h"

namespace sending {

QString textoResultadoDesconocido()
{
    return QStringLiteral("No se ha recibido la respuesta del servidor. El SMS puede haberse enviado: compruebe el "
                          "historial antes de repetir el envío.");
}

QString lineaResultadoDesconocido(const QDateTime &now, const QString &recipients, const QString &message)
{
    return now.toString(QStringLiteral("dd/MM/yyyy H:mm:ss"))
           + QStringLiteral("--- Sin respuesta del servidor al enviar a destinatario: ") + recipients
           + QStringLiteral(". El SMS puede haberse enviado: compruebe el historial. Texto del mensaje: ") + message
           + QStringLiteral("\r\n");
}

ReplyOutcome respuestaDesconocida(const SendRequest &request, const QDateTime &now)
{
    ReplyOutcome outcome;
    outcome.kind = ReplyKind::Unknown;
    outcome.queueStep = request.automatizado;
    if (request.automatizado) {
        outcome.errorLogLine = lineaResultadoDesconocido(now, request.destino, request.mensajeTecleado);
    } else {
        outcome.messageTitle = QStringLiteral("Envío de SMS");
        outcome.messageText = textoResultadoDesconocido();
    }
    return outcome;
}

} // namespace sending
