#pragma once

#include "seams/subsystems.h"
#include "sending/send_reply.h"
#include "sending/send_request.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <chrono>
#include <map>
#include <optional>

namespace net { class GatewayChannel; struct GatewayReply; }
namespace seams { struct AppContext; }

// The gateway line of every send (`WebBrowser1`, `APIv2/sendsms.php`): one send in flight at a
// time, its reply applied from the request captured when it left, and the queue of automated
// sends moved on by each reply.
//
// A send that reached the gateway but got no answer in time frees the panel at its time-out
// with a "may have been sent" warning; its answer is still listened for (kLateReplyWait) and,
// when it comes, recorded exactly as a timely one. The shutdown waits for answers still owed.
namespace sending {

class QuoteLine;
class SendPanelView;

class SendLine final : public QObject, public seams::OwedReplies {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SendLine)

public:
    static constexpr std::chrono::milliseconds kLateReplyWait{5 * 60 * 1000};

    SendLine(SendPanelView &view, seams::AppContext &context, QuoteLine &quote,
             QObject *parent = nullptr);
    ~SendLine() override;

    // Hourglass, send button disabled, the request posted. False (and nothing
    // posted) while another send awaits its reply.
    bool sendSms(const SendRequest &request);
    bool inFlight() const { return m_pending.has_value(); }

    // The automated queue: one item per send, numbers joined by ",".
    void enqueue(const QString &numbers, const QString &message);
    qsizetype queuedCount() const { return m_queue.size(); }
    // True from the first queued send until a reply finds the queue empty.
    bool isAutomated() const { return m_automated; }
    // The first queued item into the panel and out through the steps of a
    // send. While a send is under way the item waits; that send's reply sends it.
    void sendNextQueued();

    net::GatewayChannel &channel() { return *m_channel; }

    // Sends whose answer has not come yet: the one in flight and those past their time-out that
    // are still listened for.
    bool owed() const override { return m_pending.has_value() || !m_lateSends.empty(); }
    void waitForOwed(std::chrono::milliseconds limit) override;

Q_SIGNALS:
    // One send reply handled: row written, balance, buttons and queue done (the box may follow).
    // A send with no answer in time counts as handled at its time-out (kind Unknown).
    void replyHandled(sending::ReplyKind kind);
    // The answer of a send that had timed out came after all and was recorded.
    void lateReplyHandled(sending::ReplyKind kind);
    // A reply was handled, a late one recorded or given up: owed() may have changed.
    void owedChanged();
    // A send was charged by an amount the balance shown cannot take: ask the gateway for it.
    void balanceWanted();

private:
    void recordSendReply(const net::GatewayReply &reply);
    void recordLateReply(const net::GatewayReply &reply);
    // Row, balance and log lines of one outcome; false when a charged send could not be recorded.
    RecordStatus recordOutcome(const SendRequest &request, const ReplyOutcome &outcome);
    void notifyOutcome(const SendRequest &request, const ReplyOutcome &outcome, RecordStatus recordStatus);

    SendPanelView &m_view;
    seams::AppContext &m_context;
    QuoteLine &m_quote;
    net::GatewayChannel *m_channel = nullptr;
    std::optional<SendRequest> m_pending;
    quint64 m_balancesAtSend = 0;   // the quote line's gatewayBalances() when the pending send left
    std::map<quint64, SendRequest> m_lateSends; // timed-out sends still listened for, by exchange
    bool m_closing = false;
    QList<QPair<QString, QString>> m_queue;
    bool m_automated = false;
    bool m_noticeShown = false;   // the batch's one notice about a failed send has been shown
    bool m_noticeUp = false;        // that notice is up right now
};

} // namespace sending
