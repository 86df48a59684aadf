#pragma once

#include <QString>

// What the user reads when an answer passed its channel's size cap (GatewayReply::Status::TooLarge).
// The server did answer: such a reply is never worded as a lost connection.
namespace net {

inline const QString kTooLargeReplyTitle = QStringLiteral("Respuesta demasiado grande");

// For a request that only reads from the gateway: nothing was changed.
inline const QString kTooLargeReplyMessage =
    QStringLiteral("La respuesta del servidor es demasiado grande para leerla. No se ha cambiado nada.");

// For a request that changes something at the gateway: it may have been carried out there.
inline const QString kTooLargeRequestMessage =
    QStringLiteral("La respuesta del servidor es demasiado grande para leerla. La operación puede haberse realizado: "
                   "compruébelo antes de repetirlo.");

} // namespace net
