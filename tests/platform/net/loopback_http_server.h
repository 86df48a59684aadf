#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace testing {

// A raw HTTP server on 127.0.0.1 (free port) for transport tests. It runs on its own threads, so
// it answers while the test's thread is blocked, records every request's raw bytes, and answers
// each one by the next queued script (or the default one).
class LoopbackHttpServer final {
public:
    struct Script {
        enum class Mode {
            Answer, // status, headers and body, after an optional delay
            Hang,   // read the request, never answer; the connection stays open
            Close,  // read the request, close without a byte
        };
        Mode mode = Mode::Answer;
        int status = 200;
        QByteArray contentType = "text/plain; charset=windows-1252";
        QByteArray body;
        std::chrono::milliseconds delay{0};
        bool chunked = false;
        bool contentLength = true; // false: the body ends with the close
        QList<QByteArray> headers; // more header lines ("Set-Cookie: a=1"), as written
        qint64 announcedLength = -1; // >= 0: the Content-Length sent instead of the body's size
        // Answered without "Connection: close": the connection stays open and its next request is
        // answered by the next script, as a kept-alive connection is.
        bool keepAlive = false;
        // After the body the connection stays open, silent, until the peer or the server ends it.
        bool holdAfterBody = false;
        // The response goes out in this many pieces with a pause between them: a slow link.
        int pieces = 1;
        std::chrono::milliseconds pieceGap{0};

        static Script answer(QByteArray body, int status = 200);
        static Script hang();
        static Script close();
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer &) = delete;
    LoopbackHttpServer &operator=(const LoopbackHttpServer &) = delete;

    bool isListening() const { return m_listenFd >= 0; }
    quint16 port() const { return m_port; }
    QString hostPort() const;                    // "127.0.0.1:port"
    QString url(const QString &path = {}) const; // "http://127.0.0.1:port/" + path

    void setDefault(const Script &script);
    void enqueue(const Script &script);

    int requestCount() const;
    QList<QByteArray> requests() const; // raw bytes, head and body
    QByteArray lastRequest() const;

    // The body of a raw request (what follows the blank line).
    static QByteArray bodyOf(const QByteArray &raw);
    static QByteArray headOf(const QByteArray &raw);

private:
    void acceptLoop();
    void serve(int fd);
    Script nextScript();
    bool waitForStop(std::chrono::milliseconds delay);

    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    quint16 m_port = 0;
    std::thread m_acceptor;

    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
    std::deque<Script> m_queue;
    Script m_default;
    QList<QByteArray> m_requests;
};

} // namespace testing
