#include "sending/quote.h"

#include "platform/net/reply_text.h"
#include "platform/text/decimal.h"
#include "platform/text/url_encode.h"
#include "sending/message_parts.h"
#include "startup/brand.h"

namespace sending {
namespace {

QString quoteUrl()
{
    return brand::url_base() + QStringLiteral("APIv2/quotesms.php");
}

QString field(const QStringList &fields, qsizetype index)
{
    return index < fields.size() ? fields.at(index).trimmed() : QString();
}

} // namespace

GatewayRequest f_peticion_quotesms(const QuoteRequest &request)
{
    GatewayRequest out{quoteUrl(), {}};
    auto raw = [&out](const QString &name, const QString &value) {
        out.fields.append({name, text::escapeRawValue(value)});
    };
    raw(QStringLiteral("username"), request.username);
    raw(QStringLiteral("password"), request.password);
    raw(QStringLiteral("mensaje"), request.mensaje);
    raw(QStringLiteral("destino"), request.destino);
    if (request.remitente.size() >= 1 && request.remitente.size() <= 11)
        raw(QStringLiteral("remitente"), request.remitente);
    if (!request.callback.isEmpty())
        raw(QStringLiteral("callback"), request.callback);
    if (!request.ruta.isEmpty())
        raw(QStringLiteral("ruta"), request.ruta);
    if (!request.fecha.isEmpty())
        raw(QStringLiteral("fecha"), request.fecha);
    if (!request.saldo.isEmpty())
        raw(QStringLiteral("saldo"), request.saldo);
    return out;
}

QuoteRequest consultaArranque(const QString &username, const QString &password, const QString &route)
{
    QuoteRequest request;
    request.username = username;
    request.password = password;
    request.mensaje = QStringLiteral("Saldo al arrancar Desktop");
    request.destino = QStringLiteral("34600123456");
    request.remitente = QStringLiteral("Saldo");
    request.ruta = route;
    return request;
}

GatewayRequest peticionCosteRefresco(const QString &username, const QString &password, const QString &message,
                                     const QString &recipients, const QString &sender, int buf)
{
    GatewayRequest out{quoteUrl(), {}};
    auto raw = [&out](const QString &name, const QString &value) {
        out.fields.append({name, text::escapeRawValue(value)});
    };
    raw(QStringLiteral("username"), username);
    raw(QStringLiteral("password"), password);
    raw(QStringLiteral("mensaje"), message.isEmpty() ? QStringLiteral("Coste Desktop Lostfocus y saldo") : message);
    raw(QStringLiteral("destino"), recipients.isEmpty() ? QStringLiteral("34600123456") : recipients);
    raw(QStringLiteral("remitente"), sender);
    raw(QStringLiteral("buf"), QString::number(buf));
    return out;
}

QuoteOutcome f_respuesta_coste(bool ok, const QString &reply)
{
    QuoteOutcome outcome;
    if (!ok || reply.trimmed().isEmpty() || !net::replyOk(reply)) {
        outcome.costeEtiqueta = kDesconocido;
        outcome.saldoEtiqueta = kDesconocido;
        return outcome;
    }
    const QStringList fields = net::respuesta_api(reply.trimmed());
    const QString code = field(fields, 0);
    if (code == QLatin1String("0")) {
        outcome.coste = field(fields, 2);
        if (text::parseDecimal(outcome.coste)) {
            outcome.kind = QuoteKind::Quoted;
            outcome.costeEtiqueta = etiqueta_creditos(outcome.coste, CreditFigure::Cost);
            outcome.enableSend = true;
        } else {
            outcome.kind = QuoteKind::Unreadable;
            outcome.costeEtiqueta = kDesconocido;
        }
        const QString balance = field(fields, 3);
        if (!balance.isEmpty()) {
            outcome.saldo = text::parseDecimal(balance);
            outcome.saldoEtiqueta = outcome.saldo ? etiqueta_creditos(balance, CreditFigure::Balance) : kDesconocido;
        }
        return outcome;
    }
    outcome.kind = QuoteKind::Refused;
    outcome.costeEtiqueta = kDesconocido;
    outcome.saldoEtiqueta = kDesconocido;
    if (code == QLatin1String("3")) {
        outcome.messageTitle = QStringLiteral("Error de autentificacion");
        outcome.messageText = QStringLiteral("Autenticación fallida. El usuario y/o la contraseña no son correctos");
    } else if (code == QLatin1String("2")) {
        outcome.messageTitle = QStringLiteral("Error calculando coste");
        outcome.messageText = QStringLiteral(
            "Se ha producido un error en la consulta, por favor verifique que los destinatarios sean números válidos. "
            "Si el problema persiste con un número válido y dentro de la cobertura, póngase en contacto con el "
            "administrador.");
    } else if (code == QLatin1String("4")) {
        outcome.messageTitle = QStringLiteral("Remitente inadecuado");
        outcome.messageText = QStringLiteral(
            "El remitente que está intentando utilizar no ha sido previamente aceptado por los administradores. Por "
            "motivos legales, los remitentes que desee utilizar deben ser solicitados previamente en su panel de "
            "usuario en dominio");
    } else {
        outcome.messageTitle = QStringLiteral("Conexión fallida");
        outcome.messageText = QStringLiteral(
            "Error de conexión. Compruebe que dispone de conexión a Internet. Si el problema persiste pongase en "
            "contacto con el administrador.");
    }
    return outcome;
}

db::Result guardarSaldo(db::Connection &connection, double balance)
{
    const QString sql = QStringLiteral("UPDATE Usuario SET saldo=?1");
    const QVariantList values{text::formatDecimal(balance)};
    db::Result result = connection.execute(sql, values);
    if (result.status == db::Status::Busy)
        result = connection.execute(sql, values);
    return result;
}

} // namespace sending
