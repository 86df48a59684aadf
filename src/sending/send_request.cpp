#include "sending/send_request.h"

#include "brand/brand.h"
#include "platform/text/url_encode.h"

namespace sending {

bool sendsSender(const QString &sender)
{
    return sender.size() >= 1 && sender.size() <= 11;
}

QString postedSender(const SendRequest &request)
{
    return sendsSender(request.sender) ? request.sender : QString();
}

QString postedRoute(const QString &storedRoute)
{
    return storedRoute == QLatin1String("0") ? QStringLiteral("3") : storedRoute;
}

QString postedRecipients(const QString &recipients)
{
    QString out = recipients;
    out.replace(QLatin1Char('|'), QLatin1Char(','));
    return out;
}

GatewayRequest sendGatewayRequest(const SendRequest &request)
{
    GatewayRequest out;
    out.url = brand::baseUrl() + QStringLiteral("APIv2/sendsms.php");
    auto raw = [&out](const QString &name, const QString &value) {
        out.fields.append({name, text::escapeRawValue(value)});
    };
    raw(QStringLiteral("username"), request.username);
    raw(QStringLiteral("password"), request.password);
    out.fields.append({QStringLiteral("mensaje"), text::urlEncode(request.message)});
    raw(QStringLiteral("destino"), postedRecipients(request.recipients));
    const QString sender = postedSender(request);
    if (!sender.isEmpty())
        out.fields.append({QStringLiteral("remitente"), text::urlEncode(sender)});
    if (!request.callback.isEmpty())
        raw(QStringLiteral("callback"), request.callback);
    if (!request.route.isEmpty())
        raw(QStringLiteral("ruta"), request.route);
    if (!request.sendTime.isEmpty())
        raw(QStringLiteral("fecha"), request.sendTime);
    raw(QStringLiteral("coste"), request.cost);
    if (!request.extra.isEmpty() && !request.extra.first().name.isEmpty()) {
        for (const net::FormField &field : request.extra) {
            if (!field.name.isEmpty())
                raw(field.name, field.value);
        }
    }
    return out;
}

} // namespace sending
