#pragma once

#include "sending/send_request.h"

#include "platform/db/connection.h"

#include <QString>

#include <optional>

// The cost of the message and the account balance (`APIv2/quotesms.php`).
namespace sending {

struct QuoteRequest {
    QString username;
    QString password;
    QString message;
    QString recipients;
    QString sender;
    QString callback;
    QString route;
    QString sendTime;
    QString balance = QStringLiteral("1");
};

// The quote's URL and pairs: every value raw.
GatewayRequest quoteGatewayRequest(const QuoteRequest &request);

// The refresh icons' and the recipients box's quote: the panel's message and recipients (fixed
// texts when empty), the chosen sender whatever its length, and the `buf` counter last.
GatewayRequest refreshQuoteRequest(const QString &username, const QString &password, const QString &message,
                                     const QString &recipients, const QString &sender, int buf);

enum class QuoteKind {
    NoReply,
    Quoted,
    Unreadable,     // accepted, but the cost is not a number: shown unknown, sending not enabled
    Refused
};

struct QuoteOutcome {
    QuoteKind kind = QuoteKind::NoReply;
    QString cost;                    // the cost figure as the gateway wrote it (Quoted, Unreadable)
    QString costLabel;            // the cost label afterwards
    QString balanceLabel;            // the balance label afterwards; empty: leave it
    std::optional<double> balance;      // the balance to store (only a number is stored)
    bool enableSend = false;          // a good quote enables the send button
    QString messageTitle;             // empty: no box
    QString messageText;
};

// What a quote reply means. A reply with fewer fields than expected reads the missing ones as empty.
// A figure that is not a number ("abc", "12,3.4") is never shown as credits: its label reads
// "Desconocido", a balance is then not stored, and a cost that cannot be read enables nothing.
QuoteOutcome interpretQuoteReply(bool ok, const QString &reply);

// Stores the reported balance; once more after a wait when another workstation holds the file.
db::Result storeBalance(db::Connection &connection, double balance);

} // namespace sending
