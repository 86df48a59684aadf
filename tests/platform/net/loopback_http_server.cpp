#include "loopback_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace testing {
namespace {

QByteArray reasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool sendAll(int fd, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

qsizetype contentLengthOf(const QByteArray &head)
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length")
            return line.mid(colon + 1).trimmed().toLongLong();
    }
    return 0;
}

} // namespace

LoopbackHttpServer::Script LoopbackHttpServer::Script::answer(QByteArray body, int status)
{
    Script script;
    script.body = std::move(body);
    script.status = status;
    return script;
}

LoopbackHttpServer::Script LoopbackHttpServer::Script::hang()
{
    Script script;
    script.mode = Mode::Hang;
    return script;
}

LoopbackHttpServer::Script LoopbackHttpServer::Script::close()
{
    Script script;
    script.mode = Mode::Close;
    return script;
}

LoopbackHttpServer::LoopbackHttpServer()
{
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        return;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        return;
    }
    m_port = ntohs(address.sin_port);
    m_listenFd = fd;
    m_acceptor = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    if (m_stopPipe[1] >= 0) {
        const char byte = 'x';
        [[maybe_unused]] const ssize_t n = ::write(m_stopPipe[1], &byte, 1);
    }
    if (m_acceptor.joinable())
        m_acceptor.join();
    std::vector<std::thread> workers;
    {
        const std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (std::thread &worker : workers)
        worker.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    for (const int fd : m_stopPipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

QString LoopbackHttpServer::hostPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString LoopbackHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port) + path;
}

void LoopbackHttpServer::setDefault(const Script &script)
{
    const std::lock_guard lock(m_mutex);
    m_default = script;
}

void LoopbackHttpServer::enqueue(const Script &script)
{
    const std::lock_guard lock(m_mutex);
    m_queue.push_back(script);
}

int LoopbackHttpServer::requestCount() const
{
    const std::lock_guard lock(m_mutex);
    return static_cast<int>(m_requests.size());
}

QList<QByteArray> LoopbackHttpServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

QByteArray LoopbackHttpServer::lastRequest() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests.isEmpty() ? QByteArray() : m_requests.last();
}

QByteArray LoopbackHttpServer::bodyOf(const QByteArray &raw)
{
    const qsizetype end = raw.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : raw.mid(end + 4);
}

QByteArray LoopbackHttpServer::headOf(const QByteArray &raw)
{
    const qsizetype end = raw.indexOf("\r\n\r\n");
    return end < 0 ? raw : raw.left(end + 2);
}

void LoopbackHttpServer::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        const int client = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const std::lock_guard lock(m_mutex);
        m_workers.emplace_back([this, client] { serve(client); });
    }
}

LoopbackHttpServer::Script LoopbackHttpServer::nextScript()
{
    const std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return m_default;
    Script script = m_queue.front();
    m_queue.pop_front();
    return script;
}

bool LoopbackHttpServer::waitForStop(std::chrono::milliseconds delay)
{
    std::unique_lock lock(m_mutex);
    return m_stopped.wait_for(lock, delay, [this] { return m_stopping; });
}

void LoopbackHttpServer::serve(int fd)
{
    // Reads until the peer closes or the server stops; false when either happened.
    const auto readMore = [this, fd](QByteArray &into) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        into.append(buffer, n);
        return true;
    };

    QByteArray pending;
    for (;;) {
        QByteArray raw = pending;
        pending.clear();
        qsizetype headEnd = -1;
        while ((headEnd = raw.indexOf("\r\n\r\n")) < 0) {
            if (!readMore(raw)) {
                ::close(fd);
                return;
            }
        }
        const qsizetype wanted = headEnd + 4 + contentLengthOf(raw.left(headEnd));
        while (raw.size() < wanted) {
            if (!readMore(raw))
                break;
        }
        if (raw.size() > wanted) {
            pending = raw.mid(wanted);
            raw.truncate(wanted);
        }
        {
            const std::lock_guard lock(m_mutex);
            m_requests.append(raw);
        }

        const Script script = nextScript();
        switch (script.mode) {
        case Script::Mode::Close:
            break;
        case Script::Mode::Hang: {
            QByteArray ignored;
            while (readMore(ignored))
                ignored.clear();
            break;
        }
        case Script::Mode::Answer: {
            if (script.delay.count() > 0 && waitForStop(script.delay))
                break;
            QByteArray response = "HTTP/1.1 " + QByteArray::number(script.status) + ' ' + reasonOf(script.status) + "\r\n";
            if (!script.contentType.isEmpty())
                response += "Content-Type: " + script.contentType + "\r\n";
            for (const QByteArray &header : script.headers)
                response += header + "\r\n";
            if (script.chunked)
                response += "Transfer-Encoding: chunked\r\n";
            else if (script.contentLength)
                response += "Content-Length: "
                    + QByteArray::number(script.announcedLength >= 0 ? script.announcedLength : script.body.size())
                    + "\r\n";
            response += script.keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
            if (script.chunked) {
                for (qsizetype at = 0; at < script.body.size(); at += 700) {
                    const QByteArray piece = script.body.mid(at, 700);
                    response += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
                }
                if (!script.holdAfterBody)
                    response += "0\r\n\r\n";
            } else {
                response += script.body;
            }
            bool sent = true;
            const qsizetype pieceSize = (response.size() + script.pieces - 1) / std::max(script.pieces, 1);
            for (qsizetype at = 0; sent && at < response.size(); at += pieceSize) {
                if (at > 0 && script.pieceGap.count() > 0 && waitForStop(script.pieceGap))
                    sent = false;
                else
                    sent = sendAll(fd, response.mid(at, pieceSize));
            }
            if (!sent)
                break;
            if (script.keepAlive)
                continue;
            if (script.holdAfterBody) {
                QByteArray ignored;
                while (readMore(ignored))
                    ignored.clear();
                break;
            }
            ::shutdown(fd, SHUT_WR);
            break;
        }
        }
        break;
    }
    ::close(fd);
}

} // namespace testing
