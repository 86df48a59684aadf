#pragma once

#include "seams/subsystems.h"
#include "sending/message_counter.h"

#include <QObject>

#include <functional>
#include <optional>

namespace net { class GatewayChannel; struct GatewayReply; }
namespace seams { struct AppContext; }

// The cost and balance figures of the send panel and the gateway line that brings them
// (`WebBrowser3`, `APIv2/quotesms.php`): the start-up quote, the refresh icons and the quote the
// recipients box asks for. The balance is kept here as a number; the label only shows it.
namespace sending {

class SendPanelView;

// Who asked for a quote, which decides what the cost label reads meanwhile and whether a gateway
// that never answers is reported: the user waits for the figure, the program's own quotes (at
// start-up, after a send or a cancellation) stay quiet.
enum class QuoteAsk {
    Program, // "Comprobando...", a silence shows "Desconocido" only
    Refresh, // the refresh icons, leaving the recipients box: "Comprobando...", a silence is told
    Edit,    // a change of sender or a pause in typing recipients: "Calculando...", a silence is told
};

class QuoteLine final : public QObject, public seams::BalanceQuote {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuoteLine)

public:
    // `sendInFlight` tells whether a send awaits its reply: a good quote then leaves the send
    // button as it is, so no second send can start before the first is answered.
    QuoteLine(SendPanelView &view, seams::AppContext &context, std::function<bool()> sendInFlight,
              QObject *parent = nullptr);
    ~QuoteLine() override;

    // The start-up quote: fixed texts, no `buf`.
    void requestQuote(const seams::BalanceQuote::Request &request) override;
    // The refresh icons and the recipients box: the panel's message and recipients, `buf` last.
    // `messageParts` is what the message counts now, so later edits rescale the quoted cost.
    void requestQuote(const QString &login, const QString &pass, const QString &message, const QString &recipients,
                    const QString &sender, int messageParts, QuoteAsk ask = QuoteAsk::Program);

    // What the client reckons a send of the panel's message costs now (CostModel::reckoned()).
    double sendCost() const { return m_cost.reckoned(); }

    // The counter's part count changed: the cost label is rescaled.
    void setChargedParts(int chargedParts);
    // The recipients box was emptied: one credit per part, until the next quote.
    void showCostWithoutRecipients(qsizetype messageLength);

    // The balance as a number, as stored in the account row (the settings window, a quote and a
    // send all write it there): nothing while the client knows none.
    std::optional<double> balance() const;
    // A send lowered it (already stored by the reply handler): only the label follows.
    void setBalanceAfterSend(double newBalance, const QString &label);
    // A send was charged by an amount that cannot be taken off the figure shown: the balance is
    // unknown ("Desconocido", balance() gives nothing) until a quote brings the gateway's figure.
    void forgetBalance();
    // How many quotes have brought the gateway's balance so far: a send that sees this move while
    // it was on its way cannot know whether the figure already holds its charge.
    quint64 gatewayBalances() const { return m_gatewayBalances; }

    net::GatewayChannel &channel() { return *m_channel; }

Q_SIGNALS:
    // One quote reply handled (labels written, balance stored, box shown).
    void quoteHandled(bool quoted);

private:
    void showChecking(const QString &costLabel);
    void handleQuoteReply(const net::GatewayReply &reply);

    SendPanelView &m_view;
    seams::AppContext &m_context;
    std::function<bool()> m_sendInFlight;
    net::GatewayChannel *m_channel = nullptr;
    CostModel m_cost;
    int m_quotedParts = 1;
    std::optional<double> m_balance;
    bool m_balanceForgotten = false;
    quint64 m_gatewayBalances = 0;
    QuoteAsk m_ask = QuoteAsk::Program;
};

} // namespace sending
