#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QUrl>

#include <memory>

// Small HTTP helpers for the simulator's own tests: one request, wait for the end, keep what came.
namespace probe {

struct Result {
    bool finished = false;
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QByteArray location;
    qint64 contentLength = -1;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
};

class Http final {
public:
    Http() { m_manager.setProxy(QNetworkProxy::NoProxy); }

    Result get(const QString &url, int timeoutMs = 0) { return run(request(url, timeoutMs), {}, false); }

    Result post(const QString &url, const QByteArray &body, int timeoutMs = 0)
    {
        QNetworkRequest req = request(url, timeoutMs);
        req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        return run(req, body, true);
    }

private:
    static QNetworkRequest request(const QString &url, int timeoutMs)
    {
        QNetworkRequest req{QUrl::fromEncoded(url.toLatin1(), QUrl::TolerantMode)};
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        req.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        if (timeoutMs > 0)
            req.setTransferTimeout(timeoutMs);
        return req;
    }

    Result run(const QNetworkRequest &req, const QByteArray &body, bool isPost)
    {
        std::unique_ptr<QNetworkReply> reply(isPost ? m_manager.post(req, body) : m_manager.get(req));
        QSignalSpy done(reply.get(), &QNetworkReply::finished);
        Result result;
        result.finished = done.wait(20000);
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->isOpen())
            result.body = reply->readAll();
        result.contentType = reply->rawHeader("Content-Type");
        result.location = reply->rawHeader("Location");
        if (reply->hasRawHeader("Content-Length"))
            result.contentLength = reply->rawHeader("Content-Length").toLongLong();
        result.error = reply->error();
        return result;
    }

    QNetworkAccessManager m_manager;
};

// Bytes exactly as written on the wire (raw blanks, "|", 8-bit), answer read until the server
// closes the connection.
inline QByteArray raw(quint16 port, const QByteArray &wire)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(wire);
    QByteArray answer;
    QSignalSpy closed(&socket, &QTcpSocket::disconnected);
    while (socket.state() == QAbstractSocket::ConnectedState && closed.isEmpty()) {
        if (!socket.waitForReadyRead(10000))
            break;
        answer += socket.readAll();
    }
    answer += socket.readAll();
    return answer;
}

// The body of a raw HTTP answer (after the blank line).
inline QByteArray rawBody(const QByteArray &answer)
{
    const qsizetype at = answer.indexOf("\r\n\r\n");
    return at < 0 ? QByteArray() : answer.sliced(at + 4);
}

} // namespace probe
