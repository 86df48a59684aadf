#include "sending/panel/quote_line.h"

#include "database/account_row.h"
#include "platform/db/connection.h"
#include "platform/net/gateway_channel.h"
#include "platform/net/too_large_reply.h"
#include "platform/text/decimal.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"
#include "sending/panel/send_panel_view.h"
#include "sending/quote.h"

#include <QLabel>
#include <QPushButton>

namespace sending {
namespace {

const QString kBusyReason = QStringLiteral("coste");
const QString kNoAnswerTitle = QStringLiteral("Sin respuesta del servidor");
const QString kNoAnswerText = QStringLiteral(
    "El servidor no ha respondido a la consulta del coste y del saldo. Compruebe su conexión a internet y pulse el "
    "icono 'Actualizar saldo' para intentarlo de nuevo.");

} // namespace

QuoteLine::QuoteLine(SendPanelView &view, seams::AppContext &context, std::function<bool()> sendInFlight,
                     QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_context(context)
    , m_sendInFlight(std::move(sendInFlight))
    , m_channel(new net::GatewayChannel(net::Overlap::ReplaceOlder, this))
{
    m_channel->setObjectName(QStringLiteral("WebBrowser3"));
    connect(m_channel, &net::GatewayChannel::finished, this, &QuoteLine::handleQuoteReply);
}

QuoteLine::~QuoteLine()
{
    m_context.busy.setBusy(kBusyReason, false);
}

void QuoteLine::showChecking(const QString &costLabel)
{
    m_cost.setChecking();
    m_view.costLabel()->setText(costLabel);
    // A balance forgotten after a send reads "Desconocido" until the gateway's figure comes.
    m_view.balanceLabel()->setText(m_balanceForgotten ? kUnknownLabel : kCheckingLabel);
    m_context.busy.setBusy(kBusyReason, true);
}

std::optional<double> QuoteLine::balance() const
{
    if (m_balanceForgotten)
        return std::nullopt;
    const QVariant stored = m_context.connection.scalar(database::accountRowQuery(QStringLiteral("saldo")));
    if (stored.isValid() && !stored.toString().trimmed().isEmpty())
        return text::parseDecimal(stored.toString());
    return m_balance;
}

void QuoteLine::requestQuote(const seams::BalanceQuote::Request &request)
{
    // Until the gateway answers, the balance is the one stored at the last quote or send.
    const QVariant stored = m_context.connection.scalar(database::accountRowQuery(QStringLiteral("saldo")));
    m_balance = stored.isValid() ? text::parseDecimal(stored.toString()) : std::nullopt;

    QuoteRequest quote;
    quote.username = request.username;
    quote.password = request.password;
    quote.message = request.message;
    quote.recipients = request.recipients;
    quote.sender = request.sender;
    quote.callback = request.callback;
    quote.route = request.route;
    quote.sendTime = request.date;
    m_ask = QuoteAsk::Program;
    showChecking(kCheckingLabel);
    m_quotedParts = 1;
    const GatewayRequest built = quoteGatewayRequest(quote);
    m_channel->post(built.url, built.fields);
}

void QuoteLine::requestQuote(const QString &login, const QString &pass, const QString &message, const QString &recipients,
                           const QString &sender, int messageParts, QuoteAsk ask)
{
    m_ask = ask;
    showChecking(ask == QuoteAsk::Edit ? kCalculatingLabel : kCheckingLabel);
    // An empty box is quoted with a fixed one-part text.
    m_quotedParts = message.isEmpty() ? 1 : messageParts;
    const GatewayRequest built =
        refreshQuoteRequest(login, pass, message, recipients, sender, m_channel->counter());
    m_channel->post(built.url, built.fields);
}

void QuoteLine::setChargedParts(int chargedParts)
{
    m_cost.setParts(chargedParts);
    m_view.costLabel()->setText(m_cost.label());
}

void QuoteLine::showCostWithoutRecipients(qsizetype messageLength)
{
    m_view.costLabel()->setText(sending::costWithoutRecipients(messageLength));
}

void QuoteLine::setBalanceAfterSend(double newBalance, const QString &label)
{
    m_balance = newBalance;
    if (!label.isEmpty())
        m_view.balanceLabel()->setText(label);
}

void QuoteLine::forgetBalance()
{
    m_balanceForgotten = true;
    m_balance.reset();
    m_view.balanceLabel()->setText(kUnknownLabel);
}

void QuoteLine::handleQuoteReply(const net::GatewayReply &reply)
{
    if (reply.status == net::GatewayReply::Status::TooLarge) {
        // The gateway answered, but with more than a quote can hold: no figure is known, nothing
        // is stored, and the user is not told the connection failed.
        m_cost.setUnknown();
        m_view.costLabel()->setText(kUnknownLabel);
        m_view.balanceLabel()->setText(kUnknownLabel);
        m_context.busy.setBusy(kBusyReason, false);
        m_context.prompter.message(net::kTooLargeReplyMessage, net::kTooLargeReplyTitle, ui::Icon::Warning);
        Q_EMIT quoteHandled(false);
        return;
    }
    const QuoteOutcome outcome = sending::interpretQuoteReply(reply.ok, reply.text);

    if (outcome.kind == QuoteKind::Quoted)
        m_cost.setQuote(outcome.cost, m_quotedParts);
    else
        m_cost.setUnknown();
    if (outcome.balance) {
        m_balance = outcome.balance;
        m_balanceForgotten = false;
        ++m_gatewayBalances;
        // A balance that cannot be stored now is stored again by the next quote or send.
        storeBalance(m_context.connection, *outcome.balance);
    }
    m_view.costLabel()->setText(outcome.costLabel);
    if (!outcome.balanceLabel.isEmpty())
        m_view.balanceLabel()->setText(outcome.balanceLabel);
    else if ((outcome.kind == QuoteKind::Quoted || outcome.kind == QuoteKind::Unreadable)
             && m_view.balanceLabel()->text() == kCheckingLabel)
        m_view.balanceLabel()->setText(m_balance ? creditLabel(formatCredits(*m_balance, true), CreditFigure::Balance)
                                           : kUnknownLabel);
    if (outcome.enableSend && !m_sendInFlight())
        m_view.sendButton()->setEnabled(true);
    m_context.busy.setBusy(kBusyReason, false);

    if (!outcome.messageTitle.isEmpty())
        m_context.prompter.message(outcome.messageText, outcome.messageTitle, ui::Icon::Warning);
    else if (reply.status == net::GatewayReply::Status::TimedOut && m_ask != QuoteAsk::Program)
        m_context.prompter.message(kNoAnswerText, kNoAnswerTitle, ui::Icon::Warning);
    Q_EMIT quoteHandled(outcome.kind == QuoteKind::Quoted);
}

} // namespace sending
