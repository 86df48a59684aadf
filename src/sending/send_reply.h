#pragma once

#include "sending/send_request.h"

#include "platform/db/connection.h"
#include "recording/record_charged.h"

#include <QDateTime>
#include <QString>

#include <optional>

// What one sendsms reply means, decided from the request captured when it
// left, and the recording of it in `Historial` and `Usuario`.
namespace sending {

// The row of a charged send. `id_web` is the gateway's number as text; a success reply whose
// number is not a whole number is recorded all the same (the send was charged) with the text it
// gave, and such a row is never named to the gateway again.
using HistoryRow = recording::SendRecord;

enum class ReplyKind {
    NoConnection,
    Sent,
    Refused,
    Unknown, // no answer after the request reached the gateway, or an answer that is neither a
             // success nor a refusal: it may have been sent (send_unknown.h)
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
    // Sent, but the charge cannot be taken off the balance shown (credits unreadable, or a figure
    // that may already hold it): the balance reads "Desconocido" and is asked from the gateway.
    bool askBalance = false;
};

// `answered` is true when the gateway answered at all (whatever the HTTP status, an empty page
// included), false when it was never reached (no connection): only then is the reply "no
// connection". The code is net::apiCode's: "0" and "1" are successes, every other one-digit code
// a refusal, and a reply without one means the SMS may have been sent (Unknown).
// `currentBalance` is the balance the panel shows, nothing when it shows no figure ("Desconocido",
// "Comprobando..."): then the stored balance is left as it is rather than guessed.
ReplyOutcome interpretSendReply(const SendRequest &request, bool answered, const QString &reply,
                               std::optional<double> currentBalance, const QDateTime &now);

// A success whose charge must not be worked out from the balance shown: no new balance, the
// label "Desconocido" and the gateway asked instead. Nothing changes for other outcomes.
void askBalanceFromGateway(ReplyOutcome &outcome);

using RecordStatus = recording::RecordStatus;
using RecordOutcome = recording::RecordOutcome;
using recording::kSaveAttempts;

// Writes the outcome: the history row and the new balance in one transaction, tried `attempts`
// times (each waits the connection's busy time-out). A charged send is never lost and never
// doubled: a balance that cannot be written is left out rather than the row; a try whose commit
// failed is only repeated after checking the row is not there; when every try fails the row goes
// to the pending file beside the database, written at the next start.
RecordOutcome recordSendOutcome(db::Connection &connection, const ReplyOutcome &outcome,
                                    int attempts = kSaveAttempts);

// What the user is told when the send was charged but its row waits in the pending file.
QString pendingSendText();

// One line of the error log: the local date and time as a Spanish system writes it in full
// ("dd/MM/yyyy H:mm:ss"), "--- ", what happened, CR LF. Every entry of the log is stamped here.
QString errorLogLine(const QDateTime &now, const QString &what);

// The error log line of an automated send the gateway refused (CR LF ended).
QString automatedErrorLine(const QDateTime &now, const QString &recipients, const QString &message);

// `line` (its CR LF end, if any, left out) as one line of the log, ended by CR LF: a message or a
// name may hold line breaks, which would cut its entry in two, so each shows as "¶"; other
// control characters but the tab become blanks.
QString oneLogLine(QString line);

// Appends `line` to "error_auto.txt" in `folder` as one line (oneLogLine; Windows-1252, as the
// old log was). Never throws; false when the file could not be written.
bool appendAutomatedError(const QString &folder, const QString &line);

} // namespace sending
