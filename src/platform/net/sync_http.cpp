#include "platform/net/sync_http.h"

#include "platform/net/http_exchange.h"
#include "platform/net/raw_http.h"
#include "platform/text/cp1252.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QUrl>
#if QT_CONFIG(ssl)
#include <QSslSocket>
#endif

#include <memory>

namespace net {
namespace {

QString executableBaseName()
{
    if (!QCoreApplication::instance())
        return {};
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

constexpr qint64 kReadPiece = 64 * 1024;

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}

} // namespace

SyncHttp::SyncHttp(QString urlBase)
    : m_urlBase(std::move(urlBase))
    , m_agent(executableBaseName())
{
}

bool SyncHttp::connectTo(const QString &server, const QString &proxy)
{
    disconnect();
    m_secure = m_urlBase.contains(QLatin1String("https:"), Qt::CaseInsensitive);
    const QString trimmed = server.trimmed();
    const QUrl authority(QLatin1String("//") + trimmed, QUrl::StrictMode);
    if (trimmed.isEmpty() || !authority.isValid() || authority.host().isEmpty()
        || !authority.userInfo().isEmpty() || !authority.path().isEmpty()
        || authority.hasQuery() || authority.hasFragment())
        return false;
#if QT_CONFIG(ssl)
    if (m_secure && !QSslSocket::supportsSsl())
        return false;
#else
    if (m_secure)
        return false;
#endif
    m_host = authority.host();
    m_port = static_cast<quint16>(authority.port(m_secure ? 443 : 80));
    m_hostHeader = trimmed;
    m_proxy = proxy.trimmed();
    m_connected = true;
    return true;
}

void SyncHttp::disconnect()
{
    m_connected = false;
    m_host.clear();
    m_hostHeader.clear();
    m_proxy.clear();
    m_port = 0;
}

SyncReply SyncHttp::fail(SyncReply::Status status)
{
    disconnect();
    SyncReply reply;
    reply.status = status;
    return reply;
}

SyncReply SyncHttp::request(const QString &path, const QStringList &names, const QStringList &values)
{
    if (!m_connected)
        return fail(SyncReply::Status::NotConnected);

    rawhttp::Request outgoing;
    const bool post = rawhttp::wininetIsPost(values);
    outgoing.method = post ? "POST" : "GET";
    outgoing.path = wireTarget(QString(QLatin1Char('/') + path)).mid(1);
    outgoing.hostHeader = m_hostHeader.toLatin1();
    outgoing.userAgent = text::toCp1252(m_agent);
    if (post)
        outgoing.body = rawhttp::wininetBody(names, values);
    const QByteArray wire = rawhttp::serialize(outgoing);

    const QDeadlineTimer deadline(m_timeout);
    std::unique_ptr<QTcpSocket> socket;
#if QT_CONFIG(ssl)
    if (m_secure)
        socket = std::make_unique<QSslSocket>();
#endif
    if (!socket)
        socket = std::make_unique<QTcpSocket>();
    // Qt reads no further ahead than this, so a reply past the cap never sits whole in memory.
    socket->setReadBufferSize(kReadPiece);
    if (!m_proxy.isEmpty()) {
        const QUrl proxyUrl(QLatin1String("//") + m_proxy);
        socket->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, proxyUrl.host(),
                                       static_cast<quint16>(proxyUrl.port(8080))));
    }

    // Every wait below is on the socket alone: the caller's event loop stays still.
    bool connected = false;
#if QT_CONFIG(ssl)
    if (m_secure) {
        auto *ssl = static_cast<QSslSocket *>(socket.get());
        ssl->connectToHostEncrypted(m_host, m_port);
        connected = ssl->waitForEncrypted(remainingMs(deadline));
    }
#endif
    if (!m_secure) {
        socket->connectToHost(m_host, m_port);
        connected = socket->waitForConnected(remainingMs(deadline));
    }
    if (!connected)
        return fail(deadline.hasExpired() ? SyncReply::Status::TimedOut : SyncReply::Status::ConnectFailed);

    if (socket->write(wire) != wire.size())
        return fail(SyncReply::Status::SendFailed);
    while (socket->bytesToWrite() > 0) {
        if (!socket->waitForBytesWritten(remainingMs(deadline)))
            return fail(deadline.hasExpired() ? SyncReply::Status::TimedOut : SyncReply::Status::SendFailed);
    }

    // From here on the gateway has the whole request.
    const auto failAfterSending = [this](SyncReply::Status status) {
        SyncReply reply = fail(status);
        reply.requestDelivered = true;
        return reply;
    };
    rawhttp::ResponseParser parser(m_bodyLimit);
    for (;;) {
        while (socket->bytesAvailable() > 0 && parser.state() == rawhttp::ResponseParser::State::Incomplete)
            parser.feed(socket->read(kReadPiece));
        if (parser.state() != rawhttp::ResponseParser::State::Incomplete)
            break;
        if (socket->state() != QAbstractSocket::ConnectedState) {
            parser.finishOnClose();
            break;
        }
        if (!socket->waitForReadyRead(remainingMs(deadline))) {
            if (socket->bytesAvailable() > 0)
                continue;
            if (deadline.hasExpired())
                return failAfterSending(SyncReply::Status::TimedOut);
            parser.finishOnClose();
            break;
        }
    }
    socket->abort();

    if (parser.state() != rawhttp::ResponseParser::State::Complete)
        return failAfterSending(SyncReply::Status::BadReply);

    SyncReply reply;
    reply.status = SyncReply::Status::Ok;
    reply.ok = true;
    reply.httpStatus = parser.status();
    reply.text = text::fromCp1252(parser.body());
    return reply;
}

} // namespace net
