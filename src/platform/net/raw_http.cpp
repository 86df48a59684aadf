#include "platform/net/raw_http.h"

#include "platform/text/cp1252.h"
#include "platform/text/url_encode.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QList>

namespace net::rawhttp {
namespace {

constexpr qsizetype kMaxHeadBytes = 64 * 1024;

} // namespace

QByteArray agentName()
{
    if (!QCoreApplication::instance())
        return {};
    return text::toCp1252(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

QByteArray wininetBody(const QStringList &names, const QStringList &values)
{
    // The old loop only wrote "&" when the very next name was filled in, so a blank name in the
    // middle glued two pairs into one ("a=1c=3": the gateway reads a as "1c=3" and never sees c).
    // Every pair with a name is kept whole and separated; with the arrays the callers build (only
    // the last element blank) the bytes are the same as before.
    QString body;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty())
            continue;
        if (!body.isEmpty())
            body.append(QLatin1Char('&'));
        body.append(names[i]);
        body.append(QLatin1Char('='));
        if (i < values.size())
            body.append(text::escapeRawValue(values[i]));
    }
    return text::toCp1252(body);
}

bool wininetIsPost(const QStringList &values)
{
    return values.size() - 1 >= 1;
}

QByteArray serialize(const Request &request)
{
    const bool post = request.method == "POST";
    QByteArray out;
    out += request.method + " /" + request.path + " HTTP/1.1\r\n";
    out += "Host: " + request.hostHeader + "\r\n";
    if (!request.userAgent.isEmpty())
        out += "User-Agent: " + request.userAgent + "\r\n";
    // The old transport asked for a fresh copy on every request.
    out += "Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    if (post) {
        out += "Content-Type: application/x-www-form-urlencoded\r\n";
        out += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    }
    for (const Header &header : request.headers)
        out += header.name + ": " + header.value + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (post)
        out += request.body;
    return out;
}

ResponseParser::State ResponseParser::feed(QByteArrayView bytes)
{
    if (m_state != State::Incomplete)
        return m_state;
    m_buffer.append(bytes.data(), bytes.size());
    m_state = parse();
    return m_state;
}

ResponseParser::State ResponseParser::finishOnClose()
{
    if (m_state != State::Incomplete)
        return m_state;
    // A head never finished, or a body cut short of its announced size, is no reply: taking the
    // part that came as the whole would hand the caller a truncated answer as a good one.
    m_state = m_headDone && m_framing == Framing::UntilClose ? State::Complete : State::Malformed;
    return m_state;
}

ResponseParser::State ResponseParser::parse()
{
    while (!m_headDone) {
        const State head = parseHead();
        if (head != State::Complete)
            return head;
    }
    switch (m_framing) {
    case Framing::UntilClose:
        if (m_body.size() + m_buffer.size() > m_bodyLimit)
            return State::TooLarge;
        m_body.append(m_buffer);
        m_buffer.clear();
        return State::Incomplete;
    case Framing::Length: {
        const qint64 take = qMin<qint64>(m_remaining, m_buffer.size());
        m_body.append(m_buffer.left(take));
        m_buffer.remove(0, take);
        m_remaining -= take;
        return m_remaining == 0 ? State::Complete : State::Incomplete;
    }
    case Framing::Chunked:
        return parseChunks();
    }
    return State::Malformed;
}

ResponseParser::State ResponseParser::parseHead()
{
    const qsizetype end = m_buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return m_buffer.size() > kMaxHeadBytes ? State::Malformed : State::Incomplete;
    const QList<QByteArray> lines = m_buffer.left(end).split('\n');
    m_buffer.remove(0, end + 4);

    const QByteArray statusLine = lines.first().trimmed();
    if (!statusLine.startsWith("HTTP/1."))
        return State::Malformed;
    const QList<QByteArray> parts = statusLine.split(' ');
    bool ok = false;
    const int status = parts.size() >= 2 ? parts[1].toInt(&ok) : 0;
    if (!ok || status < 100 || status > 999)
        return State::Malformed;
    if (status < 200)
        return State::Complete; // an interim answer ("100 Continue"): the real head follows

    m_status = status;
    m_headDone = true;
    m_framing = Framing::UntilClose;
    m_headers.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        m_headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "transfer-encoding" && value.toLower().contains("chunked")) {
            m_framing = Framing::Chunked;
        } else if (name == "content-length" && m_framing != Framing::Chunked) {
            const qint64 length = value.toLongLong(&ok);
            if (!ok || length < 0)
                return State::Malformed;
            if (length > m_bodyLimit)
                return State::TooLarge;
            m_framing = Framing::Length;
            m_remaining = length;
            // The announced size at once: a large reply is held once, not in doubling copies.
            m_body.reserve(length);
        }
    }
    if (status == 204 || status == 304) {
        m_framing = Framing::Length;
        m_remaining = 0;
    }
    return State::Complete;
}

ResponseParser::State ResponseParser::parseChunks()
{
    for (;;) {
        if (m_remaining > 0) {
            // Inside a chunk: its data, then its CR LF.
            if (m_buffer.size() < m_remaining + 2)
                return State::Incomplete;
            m_body.append(m_buffer.left(m_remaining));
            if (m_buffer.mid(m_remaining, 2) != "\r\n")
                return State::Malformed;
            m_buffer.remove(0, m_remaining + 2);
            m_remaining = 0;
            continue;
        }
        const qsizetype lineEnd = m_buffer.indexOf("\r\n");
        if (lineEnd < 0)
            return m_buffer.size() > kMaxHeadBytes ? State::Malformed : State::Incomplete;
        QByteArray sizeText = m_buffer.left(lineEnd);
        if (const qsizetype ext = sizeText.indexOf(';'); ext >= 0)
            sizeText.truncate(ext);
        bool ok = false;
        const qint64 size = sizeText.trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0)
            return State::Malformed;
        if (m_body.size() + size > m_bodyLimit)
            return State::TooLarge;
        m_buffer.remove(0, lineEnd + 2);
        if (size == 0)
            return State::Complete; // trailers, if any, are of no use here
        m_remaining = size;
    }
}

} // namespace net::rawhttp
