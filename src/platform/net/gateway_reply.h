#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

namespace net {

// What one gateway request came to, as its reply handler sees it.
struct GatewayReply {
    enum class Status {
        Answered,     // the server answered with a success status
        HttpError,    // the server answered with an error status (its page, if any, is the text)
        NetworkError, // no answer: refused, reset, name not found...
        TimedOut,     // no complete answer within the channel's time-out
    };

    Status status = Status::NetworkError;
    int httpStatus = 0;  // 0 when the server never answered
    bool ok = false;     // the APIv2 rule: text not empty and holding a "|"
    QString text;        // the page's text, trimmed; empty when nothing came back
    QStringList fields;  // text split on every "|"
};

} // namespace net

Q_DECLARE_METATYPE(net::GatewayReply)
