#pragma once

#include "platform/net/form_body.h"
#include "platform/net/gateway_reply.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <map>

namespace net {

class HttpExchange;
struct HttpResult;

// What a channel does with a request that arrives while another is still out.
enum class Overlap {
    ReplaceOlder,     // quotes, reports, cancels: the newer request wins, the older reply is dropped
    RefuseWhileBusy,  // sends: the one under way is never aborted nor overtaken
};

// How the cache-breaking counter moves.
enum class CounterRule {
    PerReply, // +1 per answered request, past 32000 back to 0 (the main window's channels)
    ByCaller, // only bumpCounter() moves it, without wrapping (dialogs that count requests made)
};

enum class StartStatus { Started, Refused };

// One asynchronous line to one gateway script, with at most one request in flight. Every started
// request ends in exactly one finished() unless a newer request replaced it or cancel() dropped it;
// a refused connection, an error status without a page or a time-out arrive as an empty reply so
// the caller's "no connection" path runs and nothing stays disabled. The time-out counts from the
// last byte that moved either way, so a large reply on a slow link arrives whole.
//
// Each request goes on a connection of its own and is written once: a connection that breaks ends
// it, it is never sent again (a send, a cancel, a sender request or an upload changes something at
// the gateway, and a second copy would do it twice). A reply longer than the channel's cap ends
// the exchange as soon as the cap is passed.
//
// With a late-reply window, a request that had reached the gateway when its time-out came is
// still listened to for that long: finished() reports the time-out at once (the caller frees its
// window), and lateReply() brings the answer if it comes after all.
class GatewayChannel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GatewayChannel)

public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{60000};
    static constexpr int kCounterLimit = 32000;
    // Replies of the APIv2 and extranet scripts are a line or a few.
    static constexpr qint64 kDefaultReplyLimit = 64 * 1024;

    explicit GatewayChannel(Overlap overlap, QObject *parent = nullptr);
    ~GatewayChannel() override;

    // POSTs the pairs (see encodeFormBody) with the form Content-Type.
    StartStatus post(const QString &url, const FormFields &fields);
    // GETs an address whose query the caller has already appended.
    StartStatus get(const QString &urlWithQuery);

    // Drops the request in flight, if any, without a finished() for it. Requests past their
    // time-out that are still listened to are kept.
    void cancel();
    bool inFlight() const { return m_current != nullptr; }
    // The request started last; its finished() and lateReply() carry this number.
    quint64 lastExchange() const { return m_exchangeCount; }

    // The longest silence: no byte of the request written and none of the reply read for this long.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

    // The longest body taken as a reply (kDefaultReplyLimit unless set).
    void setReplyLimit(qint64 bytes) { m_replyLimit = bytes; }
    qint64 replyLimit() const { return m_replyLimit; }

    // How long a request that reached the gateway is still listened to after its time-out; zero
    // (the default) drops it at the time-out.
    void setLateReplyWindow(std::chrono::milliseconds window) { m_lateWindow = window; }
    // Requests past their time-out whose answer is still awaited.
    bool awaitingLateReply() const { return !m_late.empty(); }
    bool listeningLate(quint64 exchange) const { return m_late.count(exchange) > 0; }

    void setCounterRule(CounterRule rule) { m_counterRule = rule; }

    // The value the next request carries (its `buf` field), as the text that goes on the wire.
    QString counterText() const { return QString::number(m_counter); }
    int counter() const { return m_counter; }
    void setCounter(int value) { m_counter = value; }
    // +1 without wrapping, for the dialogs that count requests instead of replies.
    void bumpCounter() { ++m_counter; }

Q_SIGNALS:
    void finished(const net::GatewayReply &reply);
    // A request that timed out within its late-reply window has ended: answered after all, or
    // lost, or its window ran out (status TimedOut). Exactly once per such request.
    void lateReply(const net::GatewayReply &reply);

private:
    StartStatus start(const QString &url, const QByteArray *body);
    void onExchangeFinished(const HttpResult &result);
    void onLateFinished(quint64 exchange, const HttpResult &result);
    void onLateExpired(quint64 exchange);
    void onTimeout();
    GatewayReply replyFrom(const HttpResult &result, quint64 exchange);
    void countAnsweredReply();

    Overlap m_overlap;
    CounterRule m_counterRule = CounterRule::PerReply;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    std::chrono::milliseconds m_lateWindow{0};
    qint64 m_replyLimit = kDefaultReplyLimit;
    HttpExchange *m_current = nullptr;
    quint64 m_currentExchange = 0;
    quint64 m_exchangeCount = 0;
    struct Late {
        HttpExchange *exchange = nullptr;
        QTimer *expiry = nullptr;
    };
    std::map<quint64, Late> m_late;
    QTimer m_deadline;
    int m_counter = 0;
};

} // namespace net
