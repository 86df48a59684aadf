#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace updater {

// One moment of a transfer, as the window shows it. `total` is 1 while the size is not known
// (before the headers, or a server that does not say), which the window takes as "leave the
// display alone".
struct Progress {
    qint64 total = 1;
    qint64 received = 0;
    double percent = 0;
    qint64 secondsElapsed = 0;
    double secondsRemaining = 0;
};

// How a transfer ended: `status` is exactly "OK" after a complete download of a program, else a
// Spanish text fit to be shown; `error` is set when the transfer failed (not when it was cancelled).
struct DownloadResult {
    bool error = false;
    QString status;
    // What went wrong in a few words, without saying which file ("el servidor ha respondido con el
    // error HTTP 404"), for a message about another file than the program; empty when nothing did.
    QString reason;

    bool ok() const { return status == okStatus(); }
    static QString okStatus() { return QStringLiteral("OK"); }
};

// Fetches one URL into one file and reports progress. The file is written only with the body of a
// successful answer, and "OK" is given only when every announced byte arrived and reached the disk.
class Download final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Download)

public:
    static constexpr std::chrono::milliseconds defaultTimeout{60000};
    // Far above any client executable, far below what would fill a disk.
    static constexpr qint64 defaultSizeLimit = qint64(512) * 1024 * 1024;

    explicit Download(QNetworkAccessManager &network, QObject *parent = nullptr);
    ~Download() override;

    // A transfer that receives nothing for this long is given up.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    // Progress is also reported on this beat while nothing arrives, so the elapsed time moves and
    // a cancel request is seen during a stall.
    void setProgressInterval(std::chrono::milliseconds interval);
    // A body longer than this is given up as soon as it is announced or received.
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }
    // Whether the file must be an executable image of this platform (the client), or may hold any
    // bytes (its signature).
    void setProgramExpected(bool expected) { m_programExpected = expected; }

    // Starts a transfer; finished() follows in every case, never from inside this call.
    // Ignored while a transfer runs.
    void start(const QString &url, const QString &filePath);
    // Stops the running transfer; finished() reports it as cancelled.
    void cancel();

    bool isRunning() const { return m_running; }
    // The HTTP status of the running transfer as text: "200" while a transfer is under way, the
    // server's other status once it answered with one; empty when nothing runs.
    QString httpStatus() const;
    const DownloadResult &result() const { return m_result; }

Q_SIGNALS:
    void progress(const updater::Progress &progress);
    void finished(const updater::DownloadResult &result);

private:
    void onReadyRead();
    void onReplyFinished();
    void reportProgress();
    void finish(DownloadResult result);
    DownloadResult judge();
    int statusCode() const;

    QNetworkAccessManager &m_network;
    std::chrono::milliseconds m_timeout = defaultTimeout;
    qint64 m_sizeLimit = defaultSizeLimit;
    bool m_programExpected = true;
    bool m_tooLarge = false;
    QPointer<QNetworkReply> m_reply;
    QFile m_file;
    QString m_fileError;
    QTimer m_beat;
    QElapsedTimer m_clock;
    qint64 m_received = 0;
    qint64 m_written = 0;
    qint64 m_expected = -1;
    bool m_running = false;
    bool m_cancelled = false;
    DownloadResult m_result;
};

} // namespace updater

Q_DECLARE_METATYPE(updater::Progress)
Q_DECLARE_METATYPE(updater::DownloadResult)
