#include "sending/panel/quote_line.h"

#include "platform/db/connection.h"
#include "platform/net/gateway_channel.h"
#include "platform/text/decimal.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "sending/panel/send_panel_view.h"
#include "sending/quote.h"
#include "startup/app_context.h"

#include <QLabel>
#include <QPushButton>

namespace sending {
namespace {

const QString kBusyReason = QStringLiteral("coste");

} // namespace

QuoteLine::QuoteLine(SendPanelView &view, startup::AppContext &context, std::function<bool()> sendInFlight,
                     QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_context(context)
    , m_sendInFlight(std::move(sendInFlight))
    , m_channel(new net::GatewayChannel(net::Overlap::ReplaceOlder, this))
{
    m_channel->setObjectName(QStringLiteral("WebBrowser3"));
    connect(m_channel, &net::GatewayChannel::finished, this, &QuoteLine::f_respuesta_coste);
}

QuoteLine::~QuoteLine()
{
    m_context.busy.setBusy(kBusyReason, false);
}

void QuoteLine::comprobando()
{
    m_cost.setChecking();
    m_view.lblCoste()->setText(kComprobando);
    m_view.lblsaldo()->setText(kComprobando);
    m_context.busy.setBusy(kBusyReason, true);
}

std::optional<double> QuoteLine::saldo() const
{
    const QVariant stored = m_context.conexion.scalar(QStringLiteral("SELECT saldo FROM Usuario ORDER BY sid LIMIT 1"));
    if (stored.isValid() && !stored.toString().trimmed().isEmpty())
        return text::parseDecimal(stored.toString());
    return m_saldo;
}

void QuoteLine::f_consultar_coste(const startup::BalanceQuote::Request &request)
{
    // Until the gateway answers, the balance is the one stored at the last quote or send.
    const QVariant stored = m_context.conexion.scalar(QStringLiteral("SELECT saldo FROM Usuario ORDER BY sid LIMIT 1"));
    m_saldo = stored.isValid() ? text::parseDecimal(stored.toString()) : std::nullopt;

    QuoteRequest quote;
    quote.username = request.username;
    quote.password = request.password;
    quote.mensaje = request.mensaje;
    quote.destino = request.destino;
    quote.remitente = request.remitente;
    quote.callback = request.callback;
    quote.ruta = request.ruta;
    quote.fecha = request.fecha;
    comprobando();
    m_partesPedidas = 1;
    const GatewayRequest built = f_peticion_quotesms(quote);
    m_channel->post(built.url, built.fields);
}

void QuoteLine::pedirCoste(const QString &login, const QString &pass, const QString &message, const QString &recipients,
                           const QString &sender, int messageParts)
{
    comprobando();
    // An empty box is quoted with a fixed one-part text.
    m_partesPedidas = message.isEmpty() ? 1 : messageParts;
    const GatewayRequest built =
        peticionCosteRefresco(login, pass, message, recipients, sender, m_channel->contador());
    m_channel->post(built.url, built.fields);
}

void QuoteLine::partesCambiadas(int chargedParts)
{
    m_cost.setParts(chargedParts);
    m_view.lblCoste()->setText(m_cost.label());
}

void QuoteLine::costeSinDestinatarios(qsizetype messageLength)
{
    m_view.lblCoste()->setText(sending::costeSinDestinatarios(messageLength));
}

void QuoteLine::saldoTrasEnvio(double newBalance, const QString &label)
{
    m_saldo = newBalance;
    if (!label.isEmpty())
        m_view.lblsaldo()->setText(label);
}

void QuoteLine::f_respuesta_coste(const net::GatewayReply &reply)
{
    const QuoteOutcome outcome = sending::f_respuesta_coste(reply.ok, reply.text);

    if (outcome.kind == QuoteKind::Quoted)
        m_cost.setQuote(outcome.coste, m_partesPedidas);
    else
        m_cost.setUnknown();
    if (outcome.saldo) {
        m_saldo = outcome.saldo;
        // A balance that cannot be stored now is stored again by the next quote or send.
        guardarSaldo(m_context.conexion, *outcome.saldo);
    }
    m_view.lblCoste()->setText(outcome.costeEtiqueta);
    if (!outcome.saldoEtiqueta.isEmpty())
        m_view.lblsaldo()->setText(outcome.saldoEtiqueta);
    else if ((outcome.kind == QuoteKind::Quoted || outcome.kind == QuoteKind::Unreadable)
             && m_view.lblsaldo()->text() == kComprobando)
        m_view.lblsaldo()->setText(m_saldo ? etiqueta_creditos(escribirCreditos(*m_saldo, true), CreditFigure::Balance)
                                           : kDesconocido);
    if (outcome.enableSend && !m_sendInFlight())
        m_view.Command1()->setEnabled(true);
    m_context.busy.setBusy(kBusyReason, false);

    if (!outcome.messageTitle.isEmpty())
        m_context.prompter.message(outcome.messageText, outcome.messageTitle, ui::Icon::Warning);
    Q_EMIT quoteHandled(outcome.kind == QuoteKind::Quoted);
}

} // namespace sending
