#include "sending/quote.h"

#include "brand/brand.h"
#include "platform/net/reply_text.h"
#include "platform/text/decimal.h"
#include "platform/text/url_encode.h"
#include "sending/message_parts.h"

namespace sending {
namespace {

QString quoteUrl()
{
    return brand::baseUrl() + QStringLiteral("APIv2/quotesms.php");
}

QString field(const QString &reply, qsizetype index)
{
    return net::apiField(reply, index).trimmed().toString();
}

} // namespace

GatewayRequest quoteGatewayRequest(const QuoteRequest &request)
{
    GatewayRequest out{quoteUrl(), {}};
    auto raw = [&out](const QString &name, const QString &value) {
        out.fields.append({name, text::escapeRawValue(value)});
    };
    raw(QStringLiteral("username"), request.username);
    raw(QStringLiteral("password"), request.password);
    raw(QStringLiteral("mensaje"), request.message);
    raw(QStringLiteral("destino"), request.recipients);
    if (sendsSender(request.sender))
        raw(QStringLiteral("remitente"), request.sender);
    if (!request.callback.isEmpty())
        raw(QStringLiteral("callback"), request.callback);
    if (!request.route.isEmpty())
        raw(QStringLiteral("ruta"), request.route);
    if (!request.sendTime.isEmpty())
        raw(QStringLiteral("fecha"), request.sendTime);
    if (!request.balance.isEmpty())
        raw(QStringLiteral("saldo"), request.balance);
    return out;
}

GatewayRequest refreshQuoteRequest(const QString &username, const QString &password, const QString &message,
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

QuoteOutcome interpretQuoteReply(bool ok, const QString &reply)
{
    QuoteOutcome outcome;
    if (!ok || reply.trimmed().isEmpty() || !net::replyOk(reply)) {
        outcome.costLabel = kUnknownLabel;
        outcome.balanceLabel = kUnknownLabel;
        return outcome;
    }
    const QString answer = reply.trimmed();
    const std::optional<int> code = net::apiCode(answer);
    if (code == 0) {
        outcome.cost = field(answer, 2);
        if (text::parseDecimal(outcome.cost)) {
            outcome.kind = QuoteKind::Quoted;
            outcome.costLabel = creditLabel(outcome.cost, CreditFigure::Cost);
            outcome.enableSend = true;
        } else {
            outcome.kind = QuoteKind::Unreadable;
            outcome.costLabel = kUnknownLabel;
        }
        const QString balance = field(answer, 3);
        if (!balance.isEmpty()) {
            outcome.balance = text::parseDecimal(balance);
            outcome.balanceLabel = outcome.balance ? creditLabel(balance, CreditFigure::Balance) : kUnknownLabel;
        }
        return outcome;
    }
    outcome.kind = QuoteKind::Refused;
    outcome.costLabel = kUnknownLabel;
    outcome.balanceLabel = kUnknownLabel;
    if (code == 3) {
        outcome.messageTitle = QStringLiteral("Error de autentificacion");
        outcome.messageText = QStringLiteral("Autenticación fallida. El usuario y/o la contraseña no son correctos");
    } else if (code == 2) {
        outcome.messageTitle = QStringLiteral("Error calculando coste");
        outcome.messageText = QStringLiteral(
            "Se ha producido un error en la consulta, por favor verifique que los destinatarios sean números válidos. "
            "Si el problema persiste con un número válido y dentro de la cobertura, póngase en contacto con el "
            "administrador.");
    } else if (code == 4) {
        outcome.messageTitle = QStringLiteral("Remitente inadecuado");
        outcome.messageText = QStringLiteral(
            "El remitente que está intentando utilizar no ha sido previamente aceptado por los administradores. Por "
            "motivos legales, los remitentes que desee utilizar deben ser solicitados previamente en su panel de "
            "usuario en ") + brand::webHost();
    } else {
        outcome.messageTitle = QStringLiteral("Conexión fallida");
        outcome.messageText = QStringLiteral(
            "Error de conexión. Compruebe que dispone de conexión a Internet. Si el problema persiste pongase en "
            "contacto con el administrador.");
    }
    return outcome;
}

db::Result storeBalance(db::Connection &connection, double balance)
{
    const QString sql = QStringLiteral("UPDATE Usuario SET saldo=?1");
    const QVariantList values{text::formatDecimal(balance)};
    db::Result result = connection.execute(sql, values);
    if (result.status == db::Status::Busy)
        result = connection.execute(sql, values);
    return result;
}

} // namespace sending
