#include "platform/net/http_exchange.h"

#include "platform/text/cp1252.h"

#include <QTcpSocket>
#include <QUrl>
#if QT_CONFIG(ssl)
#include <QSslSocket>
#endif

#include <optional>

namespace net {
namespace {

constexpr qint64 kReadPiece = 64 * 1024;

struct Address {
    bool secure = false;
    QString host;
    quint16 port = 0;
    QByteArray hostHeader;
    QByteArray target;
};

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Characters a request line carries as they are; everything else is escaped.
bool passesRaw(unsigned char c)
{
    if (c <= 0x20 || c >= 0x7F)
        return false;
    switch (c) {
    case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
        return false;
    default:
        return true;
    }
}

std::optional<Address> splitUrl(const QString &url)
{
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    if (schemeEnd <= 0)
        return std::nullopt;
    const QString scheme = url.left(schemeEnd).toLower();
    Address address;
    if (scheme == QLatin1String("https"))
        address.secure = true;
    else if (scheme != QLatin1String("http"))
        return std::nullopt;

    const qsizetype authorityStart = schemeEnd + 3;
    qsizetype authorityEnd = authorityStart;
    while (authorityEnd < url.size() && url[authorityEnd] != QLatin1Char('/') && url[authorityEnd] != QLatin1Char('?')
           && url[authorityEnd] != QLatin1Char('#'))
        ++authorityEnd;
    const QString authorityText = url.mid(authorityStart, authorityEnd - authorityStart);
    const QUrl authority(QLatin1String("//") + authorityText, QUrl::StrictMode);
    if (authorityText.isEmpty() || !authority.isValid() || authority.host().isEmpty() || !authority.userInfo().isEmpty())
        return std::nullopt;
    const int defaultPort = address.secure ? 443 : 80;
    address.host = authority.host();
    address.port = static_cast<quint16>(authority.port(defaultPort));
    address.hostHeader = authority.host(QUrl::EncodeUnicode).toLatin1();
    if (address.hostHeader.contains(':'))
        address.hostHeader = '[' + address.hostHeader + ']';
    if (address.port != defaultPort)
        address.hostHeader += ':' + QByteArray::number(address.port);

    QString rest = url.mid(authorityEnd);
    if (!rest.startsWith(QLatin1Char('/')))
        rest.prepend(QLatin1Char('/'));
    address.target = wireTarget(rest);
    return address;
}

} // namespace

QByteArray HttpResult::header(QByteArrayView name) const
{
    for (const rawhttp::Header &header : headers) {
        if (header.name.compare(name, Qt::CaseInsensitive) == 0)
            return header.value;
    }
    return {};
}

QList<QByteArray> HttpResult::headerValues(QByteArrayView name) const
{
    QList<QByteArray> values;
    for (const rawhttp::Header &header : headers) {
        if (header.name.compare(name, Qt::CaseInsensitive) == 0)
            values.append(header.value);
    }
    return values;
}

QByteArray wireTarget(QStringView pathAndQuery)
{
    QByteArray bytes = text::toCp1252(pathAndQuery.toString());
    if (const qsizetype fragment = bytes.indexOf('#'); fragment >= 0)
        bytes.truncate(fragment);
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '%') {
            const bool escape = i + 2 < bytes.size() && isHex(bytes[i + 1]) && isHex(bytes[i + 2]);
            out += escape ? QByteArray("%") : QByteArray("%25");
        } else if (passesRaw(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
        }
    }
    return out;
}

HttpExchange::HttpExchange(QObject *parent) : QObject(parent)
{
}

HttpExchange::~HttpExchange()
{
    dropSocket();
}

void HttpExchange::start(const Request &request)
{
    abort();
    ++m_generation;
    m_running = true;
    m_connected = false;
    m_written = 0;
    m_wire.clear();
    m_parser = rawhttp::ResponseParser(request.bodyLimit);

    const std::optional<Address> address = splitUrl(request.url);
    if (!address) {
        finishLater(HttpResult::Status::BadAddress);
        return;
    }
    rawhttp::Request raw;
    raw.method = request.method;
    raw.path = address->target.mid(1);
    raw.hostHeader = address->hostHeader;
    raw.userAgent = rawhttp::agentName();
    raw.headers = request.headers;
    raw.body = request.body;
    m_wire = rawhttp::serialize(raw);

#if QT_CONFIG(ssl)
    if (address->secure) {
        if (!QSslSocket::supportsSsl()) {
            finishLater(HttpResult::Status::TlsUnavailable);
            return;
        }
        auto *ssl = new QSslSocket(this);
        m_socket = ssl;
        connect(ssl, &QSslSocket::encrypted, this, &HttpExchange::onConnected);
    }
#else
    if (address->secure) {
        finishLater(HttpResult::Status::TlsUnavailable);
        return;
    }
#endif
    if (!m_socket) {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, &HttpExchange::onConnected);
    }
    // Qt reads no further ahead than this, so a reply past the cap never sits whole in memory.
    m_socket->setReadBufferSize(kReadPiece);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpExchange::onBytesWritten);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpExchange::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpExchange::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &HttpExchange::onError);
#if QT_CONFIG(ssl)
    if (address->secure) {
        static_cast<QSslSocket *>(m_socket)->connectToHostEncrypted(address->host, address->port);
        return;
    }
#endif
    m_socket->connectToHost(address->host, address->port);
}

void HttpExchange::abort()
{
    ++m_generation;
    m_running = false;
    dropSocket();
}

void HttpExchange::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    // Freed from the event loop, not with this exchange: it may be inside one of its signals.
    socket->setParent(nullptr);
    socket->deleteLater();
}

void HttpExchange::onConnected()
{
    if (!m_socket)
        return;
    m_connected = true;
    // Written once: nothing here ever sends these bytes again.
    m_socket->write(m_wire);
}

void HttpExchange::onBytesWritten(qint64 bytes)
{
    m_written += bytes;
    if (bytes > 0)
        Q_EMIT progressed();
}

void HttpExchange::onReadyRead()
{
    if (!m_socket)
        return;
    // An answer means the whole request was there to answer.
    m_written = qMax<qint64>(m_written, m_wire.size());
    bool readSome = false;
    while (m_socket && m_socket->bytesAvailable() > 0) {
        readSome = true;
        // Read in pieces so a reply past the cap is refused before it fills memory.
        const QByteArray piece = m_socket->read(kReadPiece);
        switch (m_parser.feed(piece)) {
        case rawhttp::ResponseParser::State::Incomplete:
            break;
        case rawhttp::ResponseParser::State::Complete:
            finish(HttpResult::Status::Answered);
            return;
        case rawhttp::ResponseParser::State::TooLarge:
            finish(HttpResult::Status::TooLarge);
            return;
        case rawhttp::ResponseParser::State::Malformed:
            finish(HttpResult::Status::Lost);
            return;
        }
    }
    if (readSome && m_running)
        Q_EMIT progressed();
}

void HttpExchange::onDisconnected()
{
    if (!m_socket)
        return;
    const QPointer<HttpExchange> guard(this);
    onReadyRead(); // the receiver of a finished() in there may delete this exchange
    if (!guard || !m_running)
        return;
    const bool complete = m_parser.finishOnClose() == rawhttp::ResponseParser::State::Complete;
    finish(complete ? HttpResult::Status::Answered : HttpResult::Status::Lost);
}

void HttpExchange::onError()
{
    if (!m_socket)
        return;
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    if (m_connected) {
        const QPointer<HttpExchange> guard(this);
        onReadyRead();
        if (guard && m_running)
            finish(HttpResult::Status::Lost);
    } else {
        finish(HttpResult::Status::ConnectFailed);
    }
}

void HttpExchange::finish(HttpResult::Status status)
{
    if (!m_running)
        return;
    HttpResult result;
    result.status = status;
    result.requestWritten = requestWritten();
    if (status == HttpResult::Status::Answered) {
        result.httpStatus = m_parser.status();
        result.headers = m_parser.headers();
        result.body = m_parser.takeBody();
    }
    m_running = false;
    dropSocket();
    // Last: the receiver may start the next exchange or delete this one.
    Q_EMIT finished(result);
}

void HttpExchange::finishLater(HttpResult::Status status)
{
    QMetaObject::invokeMethod(
        this,
        [this, status, generation = m_generation] {
            if (generation == m_generation)
                finish(status);
        },
        Qt::QueuedConnection);
}

} // namespace net
