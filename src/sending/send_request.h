#pragma once

#include "platform/net/form_body.h"

#include <QString>

#include <optional>

// One send to the gateway (`APIv2/sendsms.php`) as it leaves: every value the reply handler will
// record is captured here, so what is recorded is what was posted, whatever the window shows
// by the time the reply arrives.
namespace sending {

struct SendRequest {
    QString username;
    QString password;
    QString message;           // the outgoing text: date keywords filled, confirmation forms reduced
    QString recipients;           // the cleaned recipient list
    QString sender;         // the sender chosen (the brand sender when none was)
    QString callback;
    QString route;              // route code as posted (postedRoute)
    QString sendTime;             // "Inmediato", the gateway-clock time, or empty (automated sends)
    QString cost = QStringLiteral("1");
    net::FormFields extra;     // the contact keywords' pairs (sendVariables())
    bool automated = false; // sent from the automated queue: failures go to the log, no boxes

    // What the history row and the error log record.
    QString recordedTime;     // `Historial.f_programada`: "Inmediato" or the local send time
    QString recordedMessage;   // the text recorded in `Historial.mensaje`
    QString typedMessage;   // the message box as typed (the error log's "Texto del mensaje")
    // What the client reckoned the send costs when it left (the cost label's figure): recorded
    // when the gateway's own figure cannot be read, so the history never shows a free send.
    std::optional<double> quotedCost;
};

// Whether a sender travels with a send or a quote: only one of 1 to 11 characters does.
bool sendsSender(const QString &sender);

// The sender actually posted ("" when none was, the gateway then using the account's own).
QString postedSender(const SendRequest &request);

// The route as the gateway takes it: a stored "0" goes out as "3", any other code as stored.
QString postedRoute(const QString &storedRoute);

struct GatewayRequest {
    QString url;
    net::FormFields fields;
};

// The URL and the pairs of the send, in the gateway's order. The message and the sender go
// through URLEncode; the values the gateway takes raw are only kept from breaking
// the form ("%", "&", "+", "=", "#" escaped).
GatewayRequest sendGatewayRequest(const SendRequest &request);

// The recipients as posted: a "|" typed between numbers becomes ",".
QString postedRecipients(const QString &recipients);

} // namespace sending
