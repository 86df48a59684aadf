#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// The HTTP/1.1 bytes of the project's own transports (the blocking SyncHttp and the asynchronous
// HttpExchange), kept apart from the sockets so they can be checked on their own.
namespace net::rawhttp {

// The body of the blocking transport's POST from its two parallel arrays: "name=value" for every
// index whose name is not empty, in index order, joined by "&" (a blank name is skipped without
// gluing its neighbours together). Values are escaped only where they would break the form ("%",
// "&", "+", "=", "#"); names go as they are. A value missing from a shorter array counts as empty.
QByteArray wininetBody(const QStringList &names, const QStringList &values);

// A POST is made when the value array's upper bound is 1 or more; otherwise a GET without body.
bool wininetIsPost(const QStringList &values);

// What a gateway script answers is a line or a few: a body past this is no reply of theirs.
// Transfers with larger content (the web contact download, the greeting form page) set their own.
inline constexpr qint64 kDefaultBodyLimit = 64 * 1024;

struct Header {
    QByteArray name;
    QByteArray value;
};

struct Request {
    QByteArray method;    // "GET" or "POST"
    QByteArray path;      // without the leading "/", the query included, already escaped
    QByteArray hostHeader;
    QByteArray userAgent;
    QList<Header> headers; // more header lines, after the fixed ones
    QByteArray body;      // sent only for a POST
};
// The request on its own connection, which the server is asked to close after answering: a
// request is never sent twice on one connection, nor after another one on it.
QByteArray serialize(const Request &request);

// The agent name sent in User-Agent: the executable's name.
QByteArray agentName();

// Reads an HTTP/1.x response as its bytes arrive.
class ResponseParser final {
public:
    enum class State {
        Incomplete,
        Complete,
        Malformed,
        TooLarge, // the body passed the limit: no more is kept, the reply is refused
    };

    explicit ResponseParser(qint64 bodyLimit = kDefaultBodyLimit) : m_bodyLimit(bodyLimit) {}

    // Feeds more bytes; returns the state reached.
    State feed(QByteArrayView bytes);
    // The peer closed the connection: a body delimited by the close is complete now.
    State finishOnClose();

    State state() const { return m_state; }
    int status() const { return m_status; }
    const QByteArray &body() const { return m_body; }
    QByteArray takeBody() { return std::exchange(m_body, {}); }
    // The final response's header lines, in order (names as the server wrote them).
    const QList<Header> &headers() const { return m_headers; }

private:
    State parse();
    State parseHead();
    State parseChunks();

    enum class Framing { Length, Chunked, UntilClose };
    qint64 m_bodyLimit = kDefaultBodyLimit;
    QByteArray m_buffer;
    QByteArray m_body;
    QList<Header> m_headers;
    State m_state = State::Incomplete;
    bool m_headDone = false;
    Framing m_framing = Framing::UntilClose;
    qint64 m_remaining = 0;
    int m_status = 0;
};

} // namespace net::rawhttp
