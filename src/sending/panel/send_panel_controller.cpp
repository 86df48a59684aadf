#include "sending/panel/send_panel_controller.h"

#include "platform/db/connection.h"
#include "platform/net/gateway_channel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"
#include "sending/message_counter.h"
#include "sending/message_parts.h"
#include "sending/offer/unknown_number_offer.h"
#include "sending/offer/unknown_numbers.h"
#include "sending/panel/account_row.h"
#include "sending/panel/panel_text.h"
#include "sending/panel/quote_line.h"
#include "sending/panel/send_line.h"
#include "sending/panel/send_panel_view.h"
#include "sending/panel/time_picker.h"
#include "sending/recipients.h"
#include "sending/send_command.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

namespace sending {
namespace {

const QString kSendInProgress = QStringLiteral("Hay un envío en curso. Espere a que termine antes de enviar otro mensaje.");
const QString kSendTitle = QStringLiteral("Envío de SMS");
const QString kQuoteMark = QStringLiteral(",coste");
// How long the recipients box must rest after a keystroke before what it holds is quoted.
constexpr int kTypingPauseMs = 600;

QString chosenSender(const SendPanelView &view)
{
    const QString text = view.senderCombo()->currentText();
    return text == QLatin1String(kCreateSenderItem) ? QString() : text;
}

} // namespace

SendPanelController::SendPanelController(SendPanelView &view, seams::AppContext &context,
                                         seams::ListViews *lists, seams::WindowOpener *windows, QObject *parent)
    : QObject(parent), m_view(view), m_context(context)
{
    setSubsystems(lists, windows);
    m_quote = new QuoteLine(view, context, [this] { return sendInFlight() || m_preparing; }, this);
    m_send = new SendLine(view, context, *m_quote, this);
    m_picker = new TimePicker(view, this);
    m_offer = new UnknownNumberOffer(
        context.connection, [&view] { return view.recipientsBox()->toPlainText(); }, this);

    view.recipientsBox()->setProperty("Tag", QString());
    view.recipientsBox()->installEventFilter(this);

    connect(view.messageBox()->document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
        m_changePosition = position;
        m_changeAdded = added;
    });
    connect(view.messageBox(), &QPlainTextEdit::textChanged, this, [this] {
        limitMessage();
        countCharacters();
    });
    connect(view.sendTimeBox(), &QLineEdit::textChanged, this, &SendPanelController::countCharacters);
    connect(view.sendButton(), &QPushButton::clicked, this, &SendPanelController::sendMessage);
    connect(view.pickRecipientsImage(), &QToolButton::clicked, this, &SendPanelController::pickRecipients);
    connect(view.pickTemplateImage(), &QToolButton::clicked, this, &SendPanelController::pickTemplate);
    connect(view.clearRecipientsImage(), &QToolButton::clicked, this, &SendPanelController::clearRecipients);
    connect(view.clearAllImage(), &QToolButton::clicked, this, &SendPanelController::clearAll);
    connect(view.refreshCostImage(), &QToolButton::clicked, this, [this] { askQuote(QuoteAsk::Refresh); });
    connect(view.refreshBalanceImage(), &QToolButton::clicked, this, [this] { askQuote(QuoteAsk::Refresh); });
    // The cost depends on the sender and the recipients: a change of either is quoted at once,
    // typing once it pauses, so the send button never waits on the refresh icons.
    connect(&view, &SendPanelView::senderChosen, this, [this] { askQuote(QuoteAsk::Edit); });
    m_typingPause.setSingleShot(true);
    m_typingPause.setInterval(kTypingPauseMs);
    connect(&m_typingPause, &QTimer::timeout, this, &SendPanelController::quoteTypedRecipients);
    connect(view.recipientsBox(), &QPlainTextEdit::textChanged, this, [this] {
        // Text put there by the program (a picker, the automated queue) is not typing.
        if (m_view.recipientsBox()->hasFocus())
            m_typingPause.start();
    });
    connect(m_send, &SendLine::replyHandled, this, &SendPanelController::sendReplyHandled);
    connect(m_quote, &QuoteLine::quoteHandled, this, &SendPanelController::quoteReplyHandled);
    // The same request as the refresh icons: the balance and the cost of what the panel holds.
    connect(m_send, &SendLine::balanceWanted, this, &SendPanelController::refreshQuote);

    // What the counter starts from; the cost label keeps the start-up figure until parts change.
    m_parts = sending::countCharacters(crlfText(*view.messageBox()), view.sendTimeBox()->text(),
                                            QDateTime::currentDateTime())
                   .chargedParts;
}

SendPanelController::~SendPanelController() = default;

void SendPanelController::setSubsystems(seams::ListViews *lists, seams::WindowOpener *windows)
{
    m_lists = lists ? lists : &m_noLists;
    m_windows = windows ? windows : &m_noWindows;
}

seams::BalanceQuote &SendPanelController::balanceQuote()
{
    return *m_quote;
}

seams::OwedReplies &SendPanelController::owedReplies()
{
    return *m_send;
}

bool SendPanelController::sendInFlight() const
{
    return m_send->inFlight();
}

net::GatewayChannel &SendPanelController::sendChannel()
{
    return m_send->channel();
}

net::GatewayChannel &SendPanelController::quoteChannel()
{
    return m_quote->channel();
}

void SendPanelController::enqueue(const QString &numbers, const QString &message)
{
    m_send->enqueue(numbers, message);
}

qsizetype SendPanelController::queuedCount() const
{
    return m_send->queuedCount();
}

bool SendPanelController::isAutomated() const
{
    return m_send->isAutomated();
}

void SendPanelController::sendNextQueued()
{
    m_send->sendNextQueued();
}

QString SendPanelController::recipientsTag() const
{
    return m_view.recipientsBox()->property("Tag").toString();
}

void SendPanelController::setRecipientsTag(const QString &tag)
{
    m_view.recipientsBox()->setProperty("Tag", tag);
}

void SendPanelController::setRecipients(const QString &list)
{
    m_view.recipientsBox()->setPlainText(list);
    setRecipientsTag(list + kQuoteMark);
}

void SendPanelController::enableSend(bool enabled)
{
    // Nothing re-enables the button under a send awaiting its reply: that reply does.
    m_view.sendButton()->setEnabled(enabled && !sendInFlight() && !m_preparing);
}

bool SendPanelController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view.recipientsBox()) {
        if (event->type() == QEvent::FocusOut) {
            // Switching windows or opening a menu is not leaving the box.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                leaveRecipients();
        } else if (event->type() == QEvent::KeyPress) {
            onRecipientsKey(static_cast<QKeyEvent *>(event)->key());
        }
    }
    return QObject::eventFilter(watched, event);
}

void SendPanelController::onRecipientsKey(int key)
{
    m_view.clearRecipientsImage()->setVisible(key == Qt::Key_Backspace || key == Qt::Key_Delete);
}

void SendPanelController::limitMessage()
{
    // The box takes at most 1530 characters as the gateway counts them (a line break is two).
    // What the user typed or pasted past that is cut from the end of the insertion; text put
    // there by the program (a queued message) is never cut.
    QPlainTextEdit *box = m_view.messageBox();
    if (!box->hasFocus() || m_changeAdded <= 0)
        return;
    const QString plain = box->toPlainText();
    qsizetype excess = plain.size() + plain.count(QLatin1Char('\n')) - kMaxMessageLength;
    if (excess <= 0)
        return;
    const qsizetype end = std::min<qsizetype>(m_changePosition + m_changeAdded, plain.size());
    qsizetype start = end;
    while (excess > 0 && start > m_changePosition) {
        --start;
        excess -= plain.at(start) == QLatin1Char('\n') ? 2 : 1;
    }
    m_changeAdded = 0;
    QTextCursor cursor(box->document());
    cursor.setPosition(static_cast<int>(start));
    cursor.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    box->setTextCursor(cursor);
}

void SendPanelController::countCharacters()
{
    const QString message = crlfText(*m_view.messageBox());
    const QString recipients = m_view.recipientsBox()->toPlainText();
    std::optional<LongestValues> longest;
    if (!recipients.isEmpty() && needsLongestValues(message))
        longest = longestContactValues(m_context.connection, recipients.split(QLatin1Char(','), Qt::SkipEmptyParts));
    const CounterResult counted =
        sending::countCharacters(message, m_view.sendTimeBox()->text(), QDateTime::currentDateTime(), longest);
    m_view.lengthLabel()->setText(QString::number(counted.length));
    m_view.lengthLimitLabel()->setText(QString::number(counted.parts.limit));
    if (counted.chargedParts != m_parts) {
        m_parts = counted.chargedParts;
        m_quote->setChargedParts(m_parts);
    }
}

void SendPanelController::askQuote(QuoteAsk ask, const std::optional<QString> &recipients)
{
    const std::optional<AccountValues> account = readSendAccount(m_context.connection);
    if (!account)
        return;
    Q_EMIT credentialsRead(account->login, account->pass);
    m_quote->requestQuote(account->login, account->pass, crlfText(*m_view.messageBox()),
                          recipients.value_or(m_view.recipientsBox()->toPlainText()), chosenSender(m_view), m_parts,
                          ask);
}

void SendPanelController::refreshQuote()
{
    askQuote(QuoteAsk::Program);
}

void SendPanelController::quoteTypedRecipients()
{
    // Only a list that would go out as it stands is quoted; the box is cleaned, and anything
    // wrong with it told, when the user leaves it.
    const RecipientsResult cleaned = cleanRecipients(m_view.recipientsBox()->toPlainText());
    if (cleaned.status == RecipientsStatus::Valid)
        askQuote(QuoteAsk::Edit, cleaned.text);
}

void SendPanelController::leaveRecipients()
{
    // Leaving quotes what the box holds now: a pause pending from the typing has nothing to add.
    m_typingPause.stop();
    m_view.clearRecipientsImage()->hide();
    const QString text = m_view.recipientsBox()->toPlainText();
    const QString tag = recipientsTag();
    const LeaveAction action = recipientsLeaveAction(text, tag);
    if (action != LeaveAction::Process) {
        setRecipientsTag(text); // a picker's ",coste" mark is used up, quote or not
        if (action == LeaveAction::QuoteOnly)
            askQuote(QuoteAsk::Refresh);
        return;
    }

    std::optional<ui::BusyGuard> busy(std::in_place, m_context.busy, QStringLiteral("destinatarios"));
    const RecipientsResult cleaned = cleanRecipients(text);
    if (cleaned.text != text)
        m_view.recipientsBox()->setPlainText(cleaned.text);
    countCharacters();

    switch (cleaned.status) {
    case RecipientsStatus::Empty:
        m_view.sendButton()->setEnabled(false);
        m_quote->showCostWithoutRecipients(m_view.lengthLabel()->text().toLongLong());
        break;
    case RecipientsStatus::Valid:
        // The offer's window does not block: the quote goes out while it is open.
        if (cleaned.offerUnknown && offerEnabled(m_context.connection))
            m_offer->offerNextUnknown(0, false);
        askQuote(QuoteAsk::Refresh);
        break;
    case RecipientsStatus::SomeInvalid:
    case RecipientsStatus::SingleInvalid:
        if (cleaned.sendEnabled)
            enableSend(true);
        else
            m_view.sendButton()->setEnabled(false);
        break;
    }
    setRecipientsTag(m_view.recipientsBox()->toPlainText());
    busy.reset();

    if (!cleaned.messageTitle.isEmpty())
        m_context.prompter.message(cleaned.messageText, cleaned.messageTitle, ui::Icon::Warning);
}

void SendPanelController::sendMessage()
{
    if (sendInFlight() || m_preparing) {
        m_context.prompter.message(kSendInProgress, kSendTitle, ui::Icon::Information);
        return;
    }
    PanelValues panel;
    panel.message = crlfText(*m_view.messageBox());
    panel.recipients = m_view.recipientsBox()->toPlainText();
    panel.sender = chosenSender(m_view);
    panel.scheduledTime = m_view.sendTimeBox()->text();
    panel.appointment = m_view.appointmentCheck()->isChecked();
    panel.appointmentHours = m_view.appointmentLeadBox()->text();

    const std::optional<AccountValues> account = readSendAccount(m_context.connection);
    if (account)
        Q_EMIT credentialsRead(account->login, account->pass);

    // The value prompts spin an event loop: a second press meanwhile must find the send taken.
    m_preparing = true;
    auto preparingDone = qScopeGuard([this] { m_preparing = false; });
    const AskValue ask = [this](const QString &prompt, const QString &title, const QString &defaultAnswer) {
        return m_context.prompter.input(prompt, title, defaultAnswer);
    };
    const PreparedSend prepared =
        prepareSend(panel, account, m_context.connection, ask, QDateTime::currentDateTime());
    m_preparing = false;

    if (prepared.status != PrepareStatus::Ready) {
        m_context.prompter.message(prepared.messageText, prepared.messageTitle, ui::Icon::Warning);
        return;
    }
    if (!m_send->sendSms(prepared.request))
        m_context.prompter.message(kSendInProgress, kSendTitle, ui::Icon::Information);
}

void SendPanelController::pickRecipients()
{
    if (m_lists->isBookEmpty()) {
        m_context.prompter.message(QStringLiteral("No existe ningún contacto en la agenda."),
                                   QStringLiteral("Agenda vacía"), ui::Icon::Information);
        return;
    }
    m_windows->open(seams::WindowId::ContactPicker);
}

void SendPanelController::pickTemplate()
{
    if (m_lists->hasNoTemplates()) {
        m_context.prompter.message(QStringLiteral("No existe ninguna plantilla creada."),
                                   QStringLiteral("Sin plantillas"), ui::Icon::Information);
        return;
    }
    m_windows->open(seams::WindowId::TemplatePicker);
}

void SendPanelController::clearRecipients()
{
    // The Tag stays: leaving the box afterwards processes the empty box.
    m_view.recipientsBox()->clear();
    m_view.recipientsBox()->setFocus();
    m_view.clearRecipientsImage()->hide();
    m_view.pickedRecipientLabel()->clear();
    m_view.sendButton()->setEnabled(false);
}

void SendPanelController::clearAll()
{
    m_view.appointmentCheck()->setChecked(false);
    m_view.recipientsBox()->clear();
    m_view.recipientsBox()->setFocus();
    m_view.clearRecipientsImage()->hide();
    m_view.messageBox()->clear();
    m_view.pickedRecipientLabel()->clear();
    m_picker->clear();
    m_view.sendButton()->setEnabled(false);
}

} // namespace sending
