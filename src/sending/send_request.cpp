#include "sending/send_request.h"

#include "platform/text/url_encode.h"
#include "startup/brand.h"

namespace sending {

QString remitentePublicado(const SendRequest &request)
{
    const qsizetype length = request.remitente.size();
    return length >= 1 && length <= 11 ? request.remitente : QString();
}

QString destinoPublicado(const QString &recipients)
{
    QString out = recipients;
    out.replace(QLatin1Char('|'), QLatin1Char(','));
    return out;
}

GatewayRequest f_peticion_sendsms(const SendRequest &request)
{
    GatewayRequest out;
    out.url = brand::url_base() + QStringLiteral("APIv2/sendsms.php");
    auto raw = [&out](const QString &name, const QString &value) {
        out.fields.append({name, text::escapeRawValue(value)});
    };
    raw(QStringLiteral("username"), request.username);
    raw(QStringLiteral("password"), request.password);
    out.fields.append({QStringLiteral("mensaje"), text::urlEncode(request.mensaje)});
    raw(QStringLiteral("destino"), destinoPublicado(request.destino));
    const QString sender = remitentePublicado(request);
    if (!sender.isEmpty())
        out.fields.append({QStringLiteral("remitente"), text::urlEncode(sender)});
    if (!request.callback.isEmpty())
        raw(QStringLiteral("callback"), request.callback);
    if (!request.ruta.isEmpty())
        raw(QStringLiteral("ruta"), request.ruta);
    if (!request.fecha.isEmpty())
        raw(QStringLiteral("fecha"), request.fecha);
    raw(QStringLiteral("coste"), request.coste);
    if (!request.extra.isEmpty() && !request.extra.first().name.isEmpty()) {
        for (const net::FormField &field : request.extra) {
            if (!field.name.isEmpty())
                raw(field.name, field.value);
        }
    }
    return out;
}

} // namespace sending
