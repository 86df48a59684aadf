#include "platform/net/gateway_channel.h"

#include "platform/net/http_exchange.h"
#include "platform/net/reply_text.h"

namespace net {

GatewayChannel::GatewayChannel(Overlap overlap, QObject *parent)
    : QObject(parent)
    , m_overlap(overlap)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &GatewayChannel::onTimeout);
}

GatewayChannel::~GatewayChannel()
{
    cancel();
    for (auto &[id, late] : m_late) {
        late.exchange->abort();
        delete late.exchange;
        delete late.expiry;
    }
    m_late.clear();
}

StartStatus GatewayChannel::post(const QString &url, const FormFields &fields)
{
    const QByteArray body = encodeFormBody(fields);
    return start(url, &body);
}

StartStatus GatewayChannel::get(const QString &urlWithQuery)
{
    return start(urlWithQuery, nullptr);
}

void GatewayChannel::cancel()
{
    m_deadline.stop();
    if (HttpExchange *old = std::exchange(m_current, nullptr)) {
        old->abort();
        old->deleteLater();
    }
}

StartStatus GatewayChannel::start(const QString &url, const QByteArray *body)
{
    if (inFlight()) {
        if (m_overlap == Overlap::RefuseWhileBusy)
            return StartStatus::Refused;
        cancel();
    }

    HttpExchange::Request request;
    request.url = url;
    request.bodyLimit = m_replyLimit;
    if (body) {
        request.method = "POST";
        request.body = *body;
    }
    m_current = new HttpExchange(this);
    m_currentExchange = ++m_exchangeCount;
    connect(m_current, &HttpExchange::finished, this, &GatewayChannel::onExchangeFinished);
    // The time-out is a silence: a long reply that keeps coming is never cut for its length
    // (the reply cap bounds it), a gateway that stops answering is.
    connect(m_current, &HttpExchange::progressed, this, [this] {
        if (m_current)
            m_deadline.start(m_timeout);
    });
    m_current->start(request);
    m_deadline.start(m_timeout);
    return StartStatus::Started;
}

void GatewayChannel::countAnsweredReply()
{
    if (m_counterRule != CounterRule::PerReply)
        return;
    ++m_counter;
    if (m_counter > kCounterLimit)
        m_counter = 0;
}

GatewayReply GatewayChannel::replyFrom(const HttpResult &result, quint64 exchange)
{
    GatewayReply reply;
    reply.exchange = exchange;
    reply.requestDelivered = result.requestWritten;
    switch (result.status) {
    case HttpResult::Status::Answered:
        reply.httpStatus = result.httpStatus;
        reply.status = result.httpStatus < 400 ? GatewayReply::Status::Answered : GatewayReply::Status::HttpError;
        reply.text = replyText(result.body, result.header("Content-Type"));
        countAnsweredReply();
        break;
    case HttpResult::Status::TooLarge:
        reply.status = GatewayReply::Status::TooLarge;
        break;
    case HttpResult::Status::BadAddress:
    case HttpResult::Status::TlsUnavailable:
    case HttpResult::Status::ConnectFailed:
    case HttpResult::Status::Lost:
        reply.status = GatewayReply::Status::NetworkError;
        break;
    }
    reply.ok = replyOk(reply.text);
    return reply;
}

void GatewayChannel::onExchangeFinished(const HttpResult &result)
{
    auto *exchange = qobject_cast<HttpExchange *>(sender());
    if (!exchange || exchange != m_current)
        return; // a request already replaced or dropped never reaches the handler
    m_deadline.stop();
    m_current = nullptr;
    exchange->deleteLater();
    const GatewayReply reply = replyFrom(result, m_currentExchange);
    // Last: the handler may start the next request or even destroy this channel.
    Q_EMIT finished(reply);
}

void GatewayChannel::onTimeout()
{
    HttpExchange *exchange = std::exchange(m_current, nullptr);
    if (!exchange)
        return;
    GatewayReply reply;
    reply.status = GatewayReply::Status::TimedOut;
    reply.exchange = m_currentExchange;
    reply.requestDelivered = exchange->requestWritten();
    if (reply.requestDelivered && m_lateWindow.count() > 0) {
        // The gateway has the request and may still answer: keep listening, the caller moves on.
        const quint64 id = m_currentExchange;
        disconnect(exchange, nullptr, this, nullptr);
        connect(exchange, &HttpExchange::finished, this,
                [this, id](const HttpResult &result) { onLateFinished(id, result); });
        auto *expiry = new QTimer(this);
        expiry->setSingleShot(true);
        connect(expiry, &QTimer::timeout, this, [this, id] { onLateExpired(id); });
        expiry->start(m_lateWindow);
        m_late[id] = Late{exchange, expiry};
    } else {
        exchange->abort();
        exchange->deleteLater();
    }
    Q_EMIT finished(reply);
}

void GatewayChannel::onLateFinished(quint64 exchange, const HttpResult &result)
{
    const auto found = m_late.find(exchange);
    if (found == m_late.end())
        return;
    const Late late = found->second;
    m_late.erase(found);
    late.expiry->deleteLater();
    late.exchange->deleteLater();
    const GatewayReply reply = replyFrom(result, exchange);
    Q_EMIT lateReply(reply);
}

void GatewayChannel::onLateExpired(quint64 exchange)
{
    const auto found = m_late.find(exchange);
    if (found == m_late.end())
        return;
    const Late late = found->second;
    m_late.erase(found);
    late.exchange->abort();
    late.exchange->deleteLater();
    late.expiry->deleteLater();
    GatewayReply reply;
    reply.status = GatewayReply::Status::TimedOut;
    reply.exchange = exchange;
    reply.requestDelivered = true;
    Q_EMIT lateReply(reply);
}

} // namespace net
