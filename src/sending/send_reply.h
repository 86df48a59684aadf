#pragma once

#include "sending/send_request.h"

#include "platform/db/connection.h"

#include <QDateTime>
#include <QString>

#include <optional>

// `f_respuesta_envio`: what one sendsms reply means, decided from the request captured when it
// left, and the recording of it in `Historial` and `Usuario`.
namespace sending {

struct HistoryRow {
    QString username;
    QString destinatario;
    QString f_envio;        // "yyyy-MM-dd HH:mm", local time of the reply
    QString f_programada;   // `fecha_programada`
    QString mensaje;
    QString id_web;         // the gateway's number, as text (kept as sent when it is not a number)
    QString estado = QStringLiteral("0|0|0");
    QString remitente;      // the sender actually posted
    double creditos = 0;
};

enum class ReplyKind {
    NoConnection,
    Sent,
    Refused,
    Unknown, // no answer after the request reached the gateway: it may have been sent (send_unknown.h)
};

struct ReplyOutcome {
    ReplyKind kind = ReplyKind::NoConnection;
    std::optional<HistoryRow> row;         // the row to insert (Sent)
    std::optional<double> nuevoSaldo;      // the balance to store and show (Sent, known balance)
    QString saldoEtiqueta;                 // the balance label afterwards; empty: leave it
    QString messageTitle;                  // empty: no box
    QString messageText;
    std::optional<QString> errorLogLine;   // automated refusal: the line for error_auto.txt
    bool queueStep = false;                // automated: move the queue on
    bool enableSend = true;                // the send button is enabled again in every case
};

// `saldoActual` is the balance the panel shows, nothing when it shows no figure ("Desconocido",
// "Comprobando..."): then the stored balance is left as it is rather than guessed.
ReplyOutcome f_respuesta_envio(const SendRequest &request, bool ok, const QString &texto,
                               std::optional<double> saldoActual, const QDateTime &ahora);

// The balance label's figure: the number before " cr" ("1234,56 cr.", "250 créditos"), or nothing.
std::optional<double> leerSaldoEtiqueta(const QString &label);

// Writes the outcome: the history row and the new balance in one transaction. A charged send is
// never lost: when the balance cannot be written, the row is still recorded on its own.
db::Result aplicarRespuestaEnvio(db::Connection &connection, const ReplyOutcome &outcome);

// The error log line of an automated send the gateway refused (CR LF ended).
QString lineaErrorAuto(const QDateTime &ahora, const QString &destinatarios, const QString &mensaje);

// Appends one line to "error_auto.txt" in `folder` (Windows-1252, as the old log was). Never
// throws; false when the file could not be written.
bool anotarErrorAuto(const QString &folder, const QString &line);

} // namespace sending
