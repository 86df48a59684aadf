#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The HTTP/1.1 bytes of the blocking transport, kept apart from the socket so they can be checked
// on their own.
namespace net::rawhttp {

// The body of the blocking transport's POST from its two parallel arrays: "name=value" for every
// index whose name is not empty, in index order, joined by "&" (a blank name is skipped without
// gluing its neighbours together). Values are escaped only where they would break the form ("%",
// "&", "+", "=", "#"); names go as they are. A value missing from a shorter array counts as empty.
QByteArray wininetBody(const QStringList &nombres, const QStringList &valores);

// A POST is made when the value array's upper bound is 1 or more; otherwise a GET without body.
bool wininetIsPost(const QStringList &valores);

struct Request {
    QByteArray method;    // "GET" or "POST"
    QByteArray path;      // without the leading "/"
    QByteArray hostHeader;
    QByteArray userAgent;
    QByteArray body;      // sent only for a POST
};
QByteArray serialize(const Request &request);

// Reads an HTTP/1.x response as its bytes arrive.
class ResponseParser final {
public:
    enum class State { Incomplete, Complete, Malformed };

    // Feeds more bytes; returns the state reached.
    State feed(QByteArrayView bytes);
    // The peer closed the connection: a body delimited by the close is complete now.
    State finishOnClose();

    State state() const { return m_state; }
    int status() const { return m_status; }
    const QByteArray &body() const { return m_body; }

private:
    State parse();
    State parseHead();
    State parseChunks();

    enum class Framing { Length, Chunked, UntilClose };
    QByteArray m_buffer;
    QByteArray m_body;
    State m_state = State::Incomplete;
    bool m_headDone = false;
    Framing m_framing = Framing::UntilClose;
    qint64 m_remaining = 0;
    int m_status = 0;
};

} // namespace net::rawhttp
