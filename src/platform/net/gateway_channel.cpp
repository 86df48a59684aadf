#include "platform/net/gateway_channel.h"

#include "platform/net/reply_text.h"
#include "platform/text/cp1252.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace net {
namespace {

// The caller's address goes out with its bytes as written: escapes stay as they are and 8-bit
// characters travel as their Windows-1252 bytes, the way the old client's browser sent them.
QUrl wireUrl(const QString &url)
{
    return QUrl::fromEncoded(text::toCp1252(url), QUrl::TolerantMode);
}

} // namespace

GatewayChannel::GatewayChannel(Overlap overlap, QNetworkAccessManager *manager, QObject *parent)
    : QObject(parent)
    , m_manager(manager ? manager : new QNetworkAccessManager(this))
    , m_overlap(overlap)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &GatewayChannel::onTimeout);
}

GatewayChannel::~GatewayChannel()
{
    cancel();
}

StartStatus GatewayChannel::post(const QString &url, const FormFields &fields)
{
    const QByteArray body = encodeFormBody(fields);
    return start(url, &body);
}

StartStatus GatewayChannel::postBody(const QString &url, const QByteArray &body)
{
    return start(url, &body);
}

StartStatus GatewayChannel::get(const QString &urlWithQuery)
{
    return start(urlWithQuery, nullptr);
}

void GatewayChannel::cancel()
{
    if (QNetworkReply *old = detachCurrent()) {
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

    QNetworkRequest request(wireUrl(url));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply *reply = nullptr;
    if (body) {
        request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
        reply = m_manager->post(request, *body);
    } else {
        reply = m_manager->get(request);
    }
    m_current = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onReplyFinished(reply); });
    m_deadline.start(m_timeout);
    return StartStatus::Started;
}

QNetworkReply *GatewayChannel::detachCurrent()
{
    m_deadline.stop();
    QNetworkReply *reply = m_current.data();
    m_current.clear();
    if (reply)
        disconnect(reply, nullptr, this, nullptr);
    return reply;
}

void GatewayChannel::countAnsweredReply()
{
    if (m_counterRule != CounterRule::PerReply)
        return;
    ++m_contador;
    if (m_contador > kCounterLimit)
        m_contador = 0;
}

void GatewayChannel::onReplyFinished(QNetworkReply *reply)
{
    if (reply != m_current.data())
        return; // a reply to a request already replaced or dropped never reaches the handler
    detachCurrent();
    reply->deleteLater();

    GatewayReply result;
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (result.httpStatus > 0) {
        const QByteArray body = reply->readAll();
        result.status = reply->error() == QNetworkReply::NoError && result.httpStatus < 400
            ? GatewayReply::Status::Answered
            : GatewayReply::Status::HttpError;
        result.text = replyText(body, reply->rawHeader("Content-Type"));
        countAnsweredReply();
    } else {
        result.status = GatewayReply::Status::NetworkError;
    }
    result.ok = replyOk(result.text);
    result.fields = respuesta_api(result.text);
    // Last: the handler may start the next request or even destroy this channel.
    Q_EMIT finished(result);
}

void GatewayChannel::onTimeout()
{
    QNetworkReply *reply = detachCurrent();
    if (!reply)
        return;
    reply->abort();
    reply->deleteLater();
    GatewayReply result;
    result.status = GatewayReply::Status::TimedOut;
    Q_EMIT finished(result);
}

} // namespace net
