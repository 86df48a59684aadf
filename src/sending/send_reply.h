#pragma once

#include "sending/send_request.h"

#include "platform/db/connection.h"
#include "startup/database/pending_sends.h"

#include <QDateTime>
#include <QString>

#include <optional>

// What one sendsms reply means, decided from the request captured when it
// left, and the recording of it in `Historial` and `Usuario`.
namespace sending {

// The row of a charged send. `id_web` is the gateway's number as text; a success reply whose
// number is not a whole number is recorded all the same (the send was charged) with the text it
// gave, and such a row is never named to the gateway again.
using HistoryRow = startup::SendRecord;

enum class ReplyKind {
    NoConnection,
    Sent,
    Refused,
    Unknown, // no answer after the request reached the gateway: it may have been sent (send_unknown.h)
};

struct ReplyOutcome {
    ReplyKind kind = ReplyKind::NoConnection;
    std::optional<HistoryRow> row;         // the row to insert (Sent)
    std::optional<double> newBalance;      // the balance to store and show (Sent, known balance)
    QString balanceLabel;                 // the balance label afterwards; empty: leave it
    QString messageTitle;                  // empty: no box
    QString messageText;
    std::optional<QString> errorLogLine;   // automated failure: the line for error_auto.txt
    bool noticeOnce = false;               // automated: the box is a notice, at most one per batch
    bool queueStep = false;                // automated: move the queue on
    bool enableSend = true;                // the send button is enabled again in every case
};

// `currentBalance` is the balance the panel shows, nothing when it shows no figure ("Desconocido",
// "Comprobando..."): then the stored balance is left as it is rather than guessed.
ReplyOutcome interpretSendReply(const SendRequest &request, bool ok, const QString &reply,
                               std::optional<double> currentBalance, const QDateTime &now);

// The balance label's figure: the number before " cr" ("1234,56 cr.", "250 créditos"), or nothing.
std::optional<double> balanceFromLabel(const QString &label);

using RecordStatus = startup::RecordStatus;
using RecordOutcome = startup::RecordOutcome;
using startup::kSaveAttempts;

// Writes the outcome: the history row and the new balance in one transaction, tried `attempts`
// times (each waits the connection's busy time-out). A charged send is never lost and never
// doubled: a balance that cannot be written is left out rather than the row; a try whose commit
// failed is only repeated after checking the row is not there; when every try fails the row goes
// to the pending file beside the database, written at the next start.
RecordOutcome recordSendOutcome(db::Connection &connection, const ReplyOutcome &outcome,
                                    int attempts = kSaveAttempts);

// What the user is told when the send was charged but its row waits in the pending file.
QString pendingSendText();

// The error log line of an automated send the gateway refused (CR LF ended).
QString automatedErrorLine(const QDateTime &now, const QString &recipients, const QString &message);

// Appends one line to "error_auto.txt" in `folder` (Windows-1252, as the old log was). Never
// throws; false when the file could not be written.
bool appendAutomatedError(const QString &folder, const QString &line);

} // namespace sending
