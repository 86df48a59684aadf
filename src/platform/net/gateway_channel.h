#pragma once

#include "platform/net/form_body.h"
#include "platform/net/gateway_reply.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace net {

// What a channel does with a request that arrives while another is still out.
enum class Overlap {
    ReplaceOlder,     // quotes, reports, cancels: the newer request wins, the older reply is dropped
    RefuseWhileBusy,  // sends: the one under way is never aborted nor overtaken
};

// How the cache-breaking counter moves.
enum class CounterRule {
    PerReply, // +1 per answered request, past 32000 back to 0 (the main window's channels)
    ByCaller, // only bumpContador() moves it, without wrapping (dialogs that count requests made)
};

enum class StartStatus { Started, Refused };

// One asynchronous line to one gateway script, with at most one request in flight. Every started
// request ends in exactly one finished() unless a newer request replaced it or cancel() dropped it;
// a refused connection, an error status without a page or a time-out arrive as an empty reply so
// the caller's "no connection" path runs and nothing stays disabled.
class GatewayChannel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GatewayChannel)

public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{60000};
    static constexpr int kCounterLimit = 32000;

    // Without a manager the channel makes and owns its own.
    explicit GatewayChannel(Overlap overlap, QNetworkAccessManager *manager = nullptr,
                            QObject *parent = nullptr);
    ~GatewayChannel() override;

    // POSTs the pairs (see encodeFormBody) with the form Content-Type.
    StartStatus post(const QString &url, const FormFields &fields);
    StartStatus postBody(const QString &url, const QByteArray &body);
    // GETs an address whose query the caller has already appended.
    StartStatus get(const QString &urlWithQuery);

    // Drops the request in flight, if any, without a finished() for it.
    void cancel();
    bool inFlight() const { return !m_current.isNull(); }

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

    void setCounterRule(CounterRule rule) { m_counterRule = rule; }
    CounterRule counterRule() const { return m_counterRule; }

    // `contador_buf`: the value the next request carries, as the text that goes on the wire.
    QString contadorBuf() const { return QString::number(m_contador); }
    int contador() const { return m_contador; }
    void setContador(int value) { m_contador = value; }
    // +1 without wrapping, for the dialogs that count requests instead of replies.
    void bumpContador() { ++m_contador; }

Q_SIGNALS:
    void finished(const net::GatewayReply &reply);

private:
    StartStatus start(const QString &url, const QByteArray *body);
    void onReplyFinished(QNetworkReply *reply);
    void onTimeout();
    QNetworkReply *detachCurrent();
    void countAnsweredReply();

    QNetworkAccessManager *m_manager;
    Overlap m_overlap;
    CounterRule m_counterRule = CounterRule::PerReply;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    QPointer<QNetworkReply> m_current;
    QTimer m_deadline;
    int m_contador = 0;
};

} // namespace net
