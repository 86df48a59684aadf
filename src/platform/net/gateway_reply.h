#pragma once

#include <QMetaType>
#include <QString>

namespace net {

// What one gateway request came to, as its reply handler sees it.
struct GatewayReply {
    enum class Status {
        Answered,     // the server answered with a success status
        HttpError,    // the server answered with an error status (its page, if any, is the text)
        NetworkError, // no answer: refused, reset, name not found...
        TimedOut,     // no complete answer within the channel's time-out
        TooLarge,     // the answer passed the channel's size cap: no reply of this script
    };

    Status status = Status::NetworkError;
    // The whole request had gone out when the exchange failed: the gateway may have acted on it
    // (a send may have been charged) although no answer came back.
    bool requestDelivered = false;
    // Which request of its channel this answers (see GatewayChannel::lastExchange()).
    quint64 exchange = 0;
    int httpStatus = 0;  // 0 when the server never answered
    bool ok = false;     // the APIv2 rule: text not empty and holding a "|"
    QString text;        // the page's text, trimmed; empty when nothing came back (read with
                         // net::apiField and net::apiCode)

    // The server answered, an error page included: whatever it did, this is its word on it.
    bool answered() const { return status == Status::Answered || status == Status::HttpError; }
    // No answer after the request reached the gateway: the outcome there is not known.
    bool outcomeUnknown() const { return !answered() && requestDelivered; }
    // The gateway answered or had the whole request: it may have carried the request out.
    bool mayHaveActed() const { return answered() || requestDelivered; }
};

} // namespace net

Q_DECLARE_METATYPE(net::GatewayReply)
