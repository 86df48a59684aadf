#pragma once

#include "platform/net/raw_http.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpSocket;

namespace net {

// What one exchange came to.
struct HttpResult {
    enum class Status {
        Answered,       // a whole response arrived (whatever its HTTP status)
        BadAddress,     // the address names no usable http(s) server
        TlsUnavailable, // an https address, and this machine has no TLS support
        ConnectFailed,  // refused, host not found, handshake failed: the request never left
        Lost,           // the connection broke, or the response was cut short or not HTTP
        TooLarge,       // the response passed the exchange's size cap; reading stopped there
    };

    Status status = Status::Lost;
    // Every byte of the request went out before the exchange ended: the server may have acted on
    // it even when no answer came back.
    bool requestWritten = false;
    int httpStatus = 0;
    QList<rawhttp::Header> headers;
    QByteArray body;

    bool answered() const { return status == Status::Answered; }
    // The first header of that name (case-insensitive), empty when there is none.
    QByteArray header(QByteArrayView name) const;
    QList<QByteArray> headerValues(QByteArrayView name) const;
};

// One HTTP request on a connection of its own, asked to close after the answer. It is written
// once and never repeated: a connection that breaks ends the exchange, so a request that changes
// something at the gateway reaches it at most once. Bytes beyond the cap are never read into
// memory. The exchange keeps no time itself; its owner aborts it when it has waited enough.
class HttpExchange final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpExchange)

public:
    struct Request {
        QByteArray method = "GET";
        QString url;                     // http:// or https://, query included, written as the caller has it
        QList<rawhttp::Header> headers;  // more header lines (Content-Type, Cookie, Referer...)
        QByteArray body;                 // sent when not empty, or always for a POST
        qint64 bodyLimit = rawhttp::kDefaultBodyLimit;
    };

    explicit HttpExchange(QObject *parent = nullptr);
    ~HttpExchange() override;

    // Starts the exchange; finished() follows exactly once, always later from the event loop,
    // unless abort() comes first.
    void start(const Request &request);
    // Ends it without a finished().
    void abort();

    bool running() const { return m_running; }
    bool requestWritten() const { return m_written >= m_wire.size() && !m_wire.isEmpty(); }

Q_SIGNALS:
    void finished(const net::HttpResult &result);
    // Bytes of the request went out or bytes of the answer came in: the exchange is alive, however
    // long it takes as a whole. Owners that wait time the silence between these, not the total.
    void progressed();

private:
    void onConnected();
    void onBytesWritten(qint64 bytes);
    void onReadyRead();
    void onDisconnected();
    void onError();
    void finish(HttpResult::Status status);
    void finishLater(HttpResult::Status status);
    void dropSocket();

    QTcpSocket *m_socket = nullptr;
    QByteArray m_wire;
    qint64 m_written = 0;
    rawhttp::ResponseParser m_parser;
    quint64 m_generation = 0;
    bool m_running = false;
    bool m_connected = false;
};

// The request target (path and query) as it goes on the wire: the caller's text in Windows-1252,
// escapes already in it kept as they are, every 8-bit byte, blank, control and character not
// allowed raw in a request line percent-encoded as its byte ("é" as %E9, "€" as %80), a "%" that
// starts no escape written as %25, any fragment left out.
QByteArray wireTarget(QStringView pathAndQuery);

} // namespace net

Q_DECLARE_METATYPE(net::HttpResult)
