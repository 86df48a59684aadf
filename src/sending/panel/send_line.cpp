#include "sending/panel/send_line.h"

#include "brand/brand.h"
#include "platform/net/gateway_channel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"
#include "sending/panel/account_row.h"
#include "sending/panel/panel_text.h"
#include "sending/panel/quote_line.h"
#include "sending/panel/send_panel_view.h"
#include "sending/send_time.h"
#include "sending/send_unknown.h"

#include <QComboBox>
#include <QDateTime>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>

namespace sending {
namespace {

const QString kBusyReason = QStringLiteral("envio");

const QString kNotRecorded = QStringLiteral(
    "El SMS se ha enviado, pero no se ha podido guardar en el historial. Compruebe que la base de datos está "
    "disponible.");

QString chosenSender(const SendPanelView &view)
{
    const QString text = view.senderCombo()->currentText();
    return text == QLatin1String(kCreateSenderItem) ? QString() : text;
}

} // namespace

SendLine::SendLine(SendPanelView &view, seams::AppContext &context, QuoteLine &quote, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_context(context)
    , m_quote(quote)
    , m_channel(new net::GatewayChannel(net::Overlap::RefuseWhileBusy, this))
{
    m_channel->setObjectName(QStringLiteral("WebBrowser1"));
    m_channel->setLateReplyWindow(kLateReplyWait);
    connect(m_channel, &net::GatewayChannel::finished, this, &SendLine::recordSendReply);
    connect(m_channel, &net::GatewayChannel::lateReply, this, &SendLine::recordLateReply);
}

SendLine::~SendLine()
{
    m_context.busy.setBusy(kBusyReason, false);
}

bool SendLine::sendSms(const SendRequest &request)
{
    if (m_pending)
        return false;
    const GatewayRequest built = sendGatewayRequest(request);
    if (m_channel->post(built.url, built.fields) != net::StartStatus::Started)
        return false;
    m_pending = request;
    if (!m_pending->quotedCost)
        m_pending->quotedCost = m_quote.sendCost();
    m_balancesAtSend = m_quote.gatewayBalances();
    m_view.sendButton()->setEnabled(false);
    m_context.busy.setBusy(kBusyReason, true);
    return true;
}

void SendLine::enqueue(const QString &numbers, const QString &message)
{
    m_queue.append({numbers, message});
}

void SendLine::sendNextQueued()
{
    if (m_queue.isEmpty() || m_pending || m_closing)
        return;
    const std::optional<AccountValues> account = readSendAccount(m_context.connection);
    if (!account)
        return; // without an account nothing can go out; the queue waits for one

    if (!m_automated)
        m_noticeShown = false;   // a new batch: its first failure may be told again
    m_automated = true;
    const auto &[numbers, message] = m_queue.constFirst();
    setCrlfText(*m_view.messageBox(), message);
    m_view.recipientsBox()->setPlainText(numbers);

    SendRequest request;
    request.username = account->login;
    request.password = account->pass;
    request.message = message;
    request.recipients = numbers;
    const QString sender = chosenSender(m_view);
    request.sender = sender.isEmpty() ? brand::defaultSender() : sender;
    request.route = postedRoute(account->route);
    request.automated = true;
    // Queued sends go out at once and as written: that is what the history records.
    request.recordedTime = kImmediate;
    request.recordedMessage = message;
    request.typedMessage = message;
    if (sendSms(request))
        m_queue.removeFirst();
}

void SendLine::recordSendReply(const net::GatewayReply &reply)
{
    if (!m_pending)
        return;
    const SendRequest request = *m_pending;
    m_pending.reset();

    ReplyOutcome outcome;
    if (reply.outcomeUnknown()) {
        // The gateway had the request: it may have charged it. Never an invitation to resend.
        outcome = unknownReplyOutcome(request, QDateTime::currentDateTime());
        if (m_channel->listeningLate(reply.exchange))
            m_lateSends.emplace(reply.exchange, request);
    } else {
        // Whatever the gateway answered, an error page included, it had the request: only a
        // gateway never reached is "no connection".
        outcome = sending::interpretSendReply(request, reply.answered(), reply.text, m_quote.balance(),
                                             QDateTime::currentDateTime());
        // A quote answered while this send was on its way may already hold its charge.
        if (m_quote.gatewayBalances() != m_balancesAtSend)
            askBalanceFromGateway(outcome);
    }
    const RecordStatus recordStatus = recordOutcome(request, outcome);

    if (request.automated && m_queue.isEmpty()) {
        // The batch ends with the reply to its last send, whatever that reply was: a lost last
        // send must not leave the panel in automated mode. Its boxes stay filled then, so the
        // user who sees the connection error can send that message again by hand.
        m_automated = false;
        if (outcome.queueStep) {
            m_view.recipientsBox()->clear();
            m_view.messageBox()->clear();
        }
    }
    m_view.sendButton()->setEnabled(true);
    m_context.busy.setBusy(kBusyReason, false);
    Q_EMIT replyHandled(outcome.kind);
    Q_EMIT owedChanged();

    if (!m_queue.isEmpty())
        sendNextQueued();

    notifyOutcome(request, outcome, recordStatus);
}

void SendLine::recordLateReply(const net::GatewayReply &reply)
{
    const auto found = m_lateSends.find(reply.exchange);
    if (found == m_lateSends.end())
        return;
    const SendRequest request = found->second;
    m_lateSends.erase(found);

    // Only the gateway's own word is news: a lost late answer, or one that is neither a success
    // nor a refusal, leaves the warning given.
    ReplyOutcome outcome = reply.answered()
        ? sending::interpretSendReply(request, true, reply.text, m_quote.balance(), QDateTime::currentDateTime())
        : ReplyOutcome{};
    // Since the time-out the balance may have been quoted with this charge in it: never subtract.
    askBalanceFromGateway(outcome);
    if (outcome.kind == ReplyKind::Sent || outcome.kind == ReplyKind::Refused) {
        const RecordStatus recordStatus = recordOutcome(request, outcome);
        Q_EMIT lateReplyHandled(outcome.kind);
        Q_EMIT owedChanged();
        notifyOutcome(request, outcome, recordStatus);
        return;
    }
    Q_EMIT owedChanged();
}

RecordStatus SendLine::recordOutcome(const SendRequest &request, const ReplyOutcome &outcome)
{
    RecordStatus recordStatus = RecordStatus::Recorded;
    if (outcome.row)
        recordStatus = recordSendOutcome(m_context.connection, outcome).status;
    if (outcome.newBalance)
        m_quote.setBalanceAfterSend(*outcome.newBalance, outcome.balanceLabel);
    if (outcome.askBalance && !m_closing) {
        m_quote.forgetBalance();
        Q_EMIT balanceWanted();
    }

    // The log is a courtesy: a line that cannot be written never holds the queue up.
    if (outcome.errorLogLine)
        appendAutomatedError(m_context.programFolder, *outcome.errorLogLine);
    if (recordStatus != RecordStatus::Recorded && (request.automated || m_closing))
        appendAutomatedError(m_context.programFolder,
                             errorLogLine(QDateTime::currentDateTime(),
                                          (recordStatus == RecordStatus::Pending
                                               ? QStringLiteral("Enviado; se guardará en el historial al volver a iniciar: ")
                                               : QStringLiteral("Enviado pero no guardado en el historial: "))
                                              + request.recipients + QStringLiteral(". Texto del mensaje: ")
                                              + request.typedMessage));
    return recordStatus;
}

void SendLine::notifyOutcome(const SendRequest &request, const ReplyOutcome &outcome, RecordStatus recordStatus)
{
    // While the program ends nobody is there to read a box: what matters is recorded or logged.
    if (m_closing)
        return;
    if (recordStatus == RecordStatus::Lost && !request.automated) {
        m_context.prompter.message(kNotRecorded, QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    if (recordStatus == RecordStatus::Pending && !request.automated) {
        m_context.prompter.message(pendingSendText(), QStringLiteral("Envío de SMS"), ui::Icon::Warning);
        return;
    }
    if (outcome.noticeOnce) {
        // The queue has already moved on; replies handled while this box is up add their lines
        // to the log and raise no box of their own.
        if (!m_noticeShown && !m_noticeUp) {
            m_noticeShown = true;
            const QScopedValueRollback showingNotice(m_noticeUp, true);
            m_context.prompter.message(outcome.messageText, outcome.messageTitle, ui::Icon::Critical);
        }
        return;
    }
    if (outcome.messageTitle.isEmpty())
        return;
    ui::Icon icon = ui::Icon::Critical;
    if (outcome.kind == ReplyKind::Sent)
        icon = ui::Icon::Information;
    else if (outcome.kind == ReplyKind::Unknown)
        icon = ui::Icon::Warning;
    m_context.prompter.message(outcome.messageText, outcome.messageTitle, icon);
}

void SendLine::waitForOwed(std::chrono::milliseconds limit)
{
    m_closing = true;
    if (!owed())
        return;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &SendLine::owedChanged, &loop, [this, &loop] {
        if (!owed())
            loop.quit();
    });
    deadline.start(limit);
    loop.exec();
}

} // namespace sending
