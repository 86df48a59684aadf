#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace net {

struct SyncReply {
    enum class Status {
        Ok,             // sent and the whole body read (whatever the HTTP status)
        NotConnected,   // no connectTo() before, or a failure closed the line
        TlsUnavailable, // an https gateway, and this machine has no TLS support
        ConnectFailed,  // refused, host not found, handshake failed
        SendFailed,     // the connection broke while the request went out
        TimedOut,       // no whole reply within the time-out
        BadReply,       // not HTTP, closed before the announced body was complete, or longer than the cap
    };

    Status status = Status::NotConnected;
    // The whole request had gone out when the exchange failed (a time-out or a broken reply after
    // it): the gateway may have acted on it although no whole answer came back.
    bool requestDelivered = false;
    bool ok = false;
    int httpStatus = 0;
    QString text; // the body read from Windows-1252, an error page included
};

// The blocking transport: connectTo, one or more requests, disconnect. The
// caller's thread waits on the socket itself; no event loop runs meanwhile, so no other gateway
// reply, timer or queued signal is handled in the middle of a request.
class SyncHttp final {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{60000};

    // The gateway's base address decides http or https (it contains "https:", in any case).
    explicit SyncHttp(QString urlBase);
    ~SyncHttp() = default;
    SyncHttp(const SyncHttp &) = delete;
    SyncHttp &operator=(const SyncHttp &) = delete;

    // Takes the server ("host" or "host:port", as the brand's web server setting gives it).
    // Nothing travels yet; false when the server is unusable or https is asked for without TLS.
    bool connectTo(const QString &server, const QString &proxy = {});

    // One request for `path` (no leading "/"). A POST of the pairs when the value array's upper
    // bound is 1 or more, else a GET. A failure also closes the line, as the old transport did,
    // so later requests fail until the next connectTo().
    SyncReply request(const QString &path, const QStringList &names, const QStringList &values);

    // Forgets the server; closing twice does nothing.
    void disconnect();

    bool isConnected() const { return m_connected; }
    bool isSecure() const { return m_secure; }

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

private:
    SyncReply fail(SyncReply::Status status);

    QString m_urlBase;
    QString m_agent;
    QString m_host;
    QString m_hostHeader;
    QString m_proxy;
    quint16 m_port = 0;
    bool m_secure = false;
    bool m_connected = false;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    qint64 m_bodyLimit = 64 * 1024;
};

} // namespace net
