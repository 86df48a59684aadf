#pragma once

#include "seams/subsystems.h"
#include "sending/panel/quote_line.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace net { class GatewayChannel; }
namespace seams { struct AppContext; }

// The behaviour of the "Enviar SMS" tab: the counter, the recipients box, the icons, the send
// button and the figures, each handler reading the controls, calling the sending rules and
// showing what they decided. The two gateway lines (send and quote) and the time picker are
// owned here.
namespace sending {

class SendLine;
class SendPanelView;
class TimePicker;
class UnknownNumberOffer;

class SendPanelController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SendPanelController)

public:
    // `lists` and `windows` may be null (a panel driven without the rest of the client): the
    // contact list and the templates then count as empty.
    SendPanelController(SendPanelView &view, seams::AppContext &context,
                        seams::ListViews *lists = nullptr, seams::WindowOpener *windows = nullptr,
                        QObject *parent = nullptr);
    ~SendPanelController() override;

    void setSubsystems(seams::ListViews *lists, seams::WindowOpener *windows);

    // The start-up balance quote seam of the main window.
    seams::BalanceQuote &balanceQuote();
    // The shutdown's seam: send answers still owed by the gateway.
    seams::OwedReplies &owedReplies();

    // Handlers, callable by tests and by other windows as the controls' events are.
    void sendMessage();
    void pickRecipients();
    void pickTemplate();
    void clearRecipients();
    void clearAll();
    // The program's own quote of what the panel holds (after a send or a cancellation); the
    // refresh icons ask the same, as the user's.
    void refreshQuote();
    void leaveRecipients();
    void countCharacters();

    // For the recipient picker and the history's recipient actions: an already clean list put
    // into the box, quoted (without cleaning) when the box is left.
    void setRecipients(const QString &list);
    // The recipients box's text as it stood when last processed (its Tag).
    QString recipientsTag() const;
    void setRecipientsTag(const QString &tag);

    // The automated sending's entry points.
    void enqueue(const QString &numbers, const QString &message);
    qsizetype queuedCount() const;
    bool isAutomated() const;
    void sendNextQueued();

    bool sendInFlight() const;
    net::GatewayChannel &sendChannel();
    net::GatewayChannel &quoteChannel();
    // The offer to save recipients that are not in the contact book (`introducir_agenda`).
    UnknownNumberOffer &unknownNumberOffer() { return *m_offer; }
    QuoteLine &quoteLine() { return *m_quote; }
    SendLine &sendLine() { return *m_send; }

Q_SIGNALS:
    // The account's credentials were read for a request.
    void credentialsRead(const QString &login, const QString &pass);
    // One send reply or one quote reply handled (state written; a box may still follow).
    void sendReplyHandled();
    void quoteReplyHandled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void limitMessage();
    void askQuote(QuoteAsk ask, const std::optional<QString> &recipients = std::nullopt);
    void quoteTypedRecipients();
    void onRecipientsKey(int key);
    void enableSend(bool enabled);

    SendPanelView &m_view;
    seams::AppContext &m_context;
    seams::ListViews m_noLists;
    seams::WindowOpener m_noWindows;
    seams::ListViews *m_lists = nullptr;
    seams::WindowOpener *m_windows = nullptr;
    QuoteLine *m_quote = nullptr;
    SendLine *m_send = nullptr;
    TimePicker *m_picker = nullptr;
    UnknownNumberOffer *m_offer = nullptr;
    // Restarted by every edit of the recipients box: when it runs out the typing has paused.
    QTimer m_typingPause;
    int m_parts = 0;
    bool m_preparing = false;
    int m_changePosition = 0;
    int m_changeAdded = 0;
};

} // namespace sending
