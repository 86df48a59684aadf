#include "sending/panel/send_panel_controller.h"

#include "platform/db/connection.h"
#include "platform/net/gateway_channel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
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
#include "startup/app_context.h"

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

QString chosenSender(const SendPanelView &view)
{
    const QString text = view.Combo1()->currentText();
    return text == QLatin1String(crearNuevoRemitente) ? QString() : text;
}

} // namespace

SendPanelController::SendPanelController(SendPanelView &view, startup::AppContext &context,
                                         startup::ListViews *lists, startup::WindowOpener *windows, QObject *parent)
    : QObject(parent), m_view(view), m_context(context)
{
    setSubsystems(lists, windows);
    m_quote = new QuoteLine(view, context, [this] { return sendInFlight() || m_preparando; }, this);
    m_send = new SendLine(view, context, *m_quote, this);
    m_picker = new TimePicker(view, this);
    m_offer = new UnknownNumberOffer(
        context.conexion, [&view] { return view.Text2()->toPlainText(); }, this);

    view.Text2()->setProperty("Tag", QString());
    view.Text2()->installEventFilter(this);

    connect(view.Text1()->document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
        m_cambioPos = position;
        m_cambioAnadidos = added;
    });
    connect(view.Text1(), &QPlainTextEdit::textChanged, this, [this] {
        limitarMensaje();
        f_contar_caracteres();
    });
    connect(view.Text3(), &QLineEdit::textChanged, this, &SendPanelController::f_contar_caracteres);
    connect(view.Command1(), &QPushButton::clicked, this, &SendPanelController::Command1_Click);
    connect(view.Image2(), &QToolButton::clicked, this, &SendPanelController::Image2_Click);
    connect(view.Image3(), &QToolButton::clicked, this, &SendPanelController::Image3_Click);
    connect(view.Image4(), &QToolButton::clicked, this, &SendPanelController::Image4_Click);
    connect(view.Image5(), &QToolButton::clicked, this, &SendPanelController::Image5_Click);
    connect(view.Image10(), &QToolButton::clicked, this, &SendPanelController::Image10_Click);
    connect(view.Image11(), &QToolButton::clicked, this, &SendPanelController::Image10_Click);
    connect(m_send, &SendLine::replyHandled, this, &SendPanelController::sendReplyHandled);
    connect(m_quote, &QuoteLine::quoteHandled, this, &SendPanelController::quoteReplyHandled);

    // What the counter starts from; the cost label keeps the start-up figure until parts change.
    m_partes = sending::f_contar_caracteres(textoCrLf(*view.Text1()), view.Text3()->text(),
                                            QDateTime::currentDateTime())
                   .chargedParts;
}

SendPanelController::~SendPanelController() = default;

void SendPanelController::setSubsystems(startup::ListViews *lists, startup::WindowOpener *windows)
{
    m_lists = lists ? lists : &m_noLists;
    m_windows = windows ? windows : &m_noWindows;
}

startup::BalanceQuote &SendPanelController::balanceQuote()
{
    return *m_quote;
}

startup::OwedReplies &SendPanelController::owedReplies()
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

qsizetype SendPanelController::pendientes() const
{
    return m_send->pendientes();
}

bool SendPanelController::automatizado() const
{
    return m_send->automatizado();
}

void SendPanelController::f_enviar_automatizados()
{
    m_send->f_enviar_automatizados();
}

QString SendPanelController::text2Tag() const
{
    return m_view.Text2()->property("Tag").toString();
}

void SendPanelController::setText2Tag(const QString &tag)
{
    m_view.Text2()->setProperty("Tag", tag);
}

void SendPanelController::ponerDestinatarios(const QString &list)
{
    m_view.Text2()->setPlainText(list);
    setText2Tag(list + kQuoteMark);
}

void SendPanelController::habilitarEnvio(bool enabled)
{
    // Nothing re-enables the button under a send awaiting its reply: that reply does.
    m_view.Command1()->setEnabled(enabled && !sendInFlight() && !m_preparando);
}

bool SendPanelController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view.Text2()) {
        if (event->type() == QEvent::FocusOut) {
            // Switching windows or opening a menu is not leaving the box.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Text2_LostFocus();
        } else if (event->type() == QEvent::KeyPress) {
            Text2_tecla(static_cast<QKeyEvent *>(event)->key());
        }
    }
    return QObject::eventFilter(watched, event);
}

void SendPanelController::Text2_tecla(int key)
{
    m_view.Image4()->setVisible(key == Qt::Key_Backspace || key == Qt::Key_Delete);
}

void SendPanelController::limitarMensaje()
{
    // The box takes at most 1530 characters as the gateway counts them (a line break is two).
    // What the user typed or pasted past that is cut from the end of the insertion; text put
    // there by the program (a queued message) is never cut.
    QPlainTextEdit *box = m_view.Text1();
    if (!box->hasFocus() || m_cambioAnadidos <= 0)
        return;
    const QString plain = box->toPlainText();
    qsizetype excess = plain.size() + plain.count(QLatin1Char('\n')) - kMaxMessageLength;
    if (excess <= 0)
        return;
    const qsizetype end = std::min<qsizetype>(m_cambioPos + m_cambioAnadidos, plain.size());
    qsizetype start = end;
    while (excess > 0 && start > m_cambioPos) {
        --start;
        excess -= plain.at(start) == QLatin1Char('\n') ? 2 : 1;
    }
    m_cambioAnadidos = 0;
    QTextCursor cursor(box->document());
    cursor.setPosition(static_cast<int>(start));
    cursor.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    box->setTextCursor(cursor);
}

void SendPanelController::f_contar_caracteres()
{
    const QString message = textoCrLf(*m_view.Text1());
    const QString recipients = m_view.Text2()->toPlainText();
    std::optional<LongestValues> longest;
    if (!recipients.isEmpty() && needsLongestValues(message))
        longest = longestContactValues(m_context.conexion, recipients.split(QLatin1Char(','), Qt::SkipEmptyParts));
    const CounterResult counted =
        sending::f_contar_caracteres(message, m_view.Text3()->text(), QDateTime::currentDateTime(), longest);
    m_view.lblMsglen()->setText(QString::number(counted.length));
    m_view.lblLenMax()->setText(QString::number(counted.parts.limit));
    if (counted.chargedParts != m_partes) {
        m_partes = counted.chargedParts;
        m_quote->partesCambiadas(m_partes);
    }
}

void SendPanelController::pedirCosteActual(const QString &login, const QString &pass)
{
    m_quote->pedirCoste(login, pass, textoCrLf(*m_view.Text1()), m_view.Text2()->toPlainText(),
                        chosenSender(m_view), m_partes);
}

void SendPanelController::Image10_Click()
{
    const std::optional<AccountValues> account = leerCuentaEnvio(m_context.conexion);
    if (!account)
        return;
    Q_EMIT credencialesLeidas(account->login, account->pass);
    pedirCosteActual(account->login, account->pass);
}

void SendPanelController::Text2_LostFocus()
{
    m_view.Image4()->hide();
    const QString text = m_view.Text2()->toPlainText();
    const QString tag = text2Tag();
    const LeaveAction action = alSalirDestinatarios(text, tag);
    if (action != LeaveAction::Process) {
        setText2Tag(text); // a picker's ",coste" mark is used up, quote or not
        if (action == LeaveAction::QuoteOnly)
            Image10_Click();
        return;
    }

    std::optional<ui::BusyGuard> busy(std::in_place, m_context.busy, QStringLiteral("destinatarios"));
    const RecipientsResult cleaned = limpiar_destinatarios(text);
    if (cleaned.text != text)
        m_view.Text2()->setPlainText(cleaned.text);
    f_contar_caracteres();

    switch (cleaned.status) {
    case RecipientsStatus::Empty:
        m_view.Command1()->setEnabled(false);
        m_quote->costeSinDestinatarios(m_view.lblMsglen()->text().toLongLong());
        break;
    case RecipientsStatus::Valid:
        // The offer's window does not block: the quote goes out while it is open.
        if (cleaned.offerUnknown && ofertaActiva(m_context.conexion))
            m_offer->introducir_agenda(0, false);
        Image10_Click();
        break;
    case RecipientsStatus::SomeInvalid:
    case RecipientsStatus::SingleInvalid:
        if (cleaned.sendEnabled)
            habilitarEnvio(true);
        else
            m_view.Command1()->setEnabled(false);
        break;
    }
    setText2Tag(m_view.Text2()->toPlainText());
    busy.reset();

    if (!cleaned.messageTitle.isEmpty())
        m_context.prompter.message(cleaned.messageText, cleaned.messageTitle, ui::Icon::Warning);
}

void SendPanelController::Command1_Click()
{
    if (sendInFlight() || m_preparando) {
        m_context.prompter.message(kSendInProgress, kSendTitle, ui::Icon::Information);
        return;
    }
    PanelValues panel;
    panel.mensaje = textoCrLf(*m_view.Text1());
    panel.destinatarios = m_view.Text2()->toPlainText();
    panel.remitente = chosenSender(m_view);
    panel.fechaProgramada = m_view.Text3()->text();
    panel.cita = m_view.Check2()->isChecked();
    panel.horasCita = m_view.Text6()->text();

    const std::optional<AccountValues> account = leerCuentaEnvio(m_context.conexion);
    if (account)
        Q_EMIT credencialesLeidas(account->login, account->pass);

    // The value prompts spin an event loop: a second press meanwhile must find the send taken.
    m_preparando = true;
    auto preparingDone = qScopeGuard([this] { m_preparando = false; });
    const AskValue ask = [this](const QString &prompt, const QString &title, const QString &defaultAnswer) {
        return m_context.prompter.input(prompt, title, defaultAnswer);
    };
    const PreparedSend prepared =
        prepararEnvio(panel, account, m_context.conexion, ask, QDateTime::currentDateTime());
    m_preparando = false;

    if (prepared.status != PrepareStatus::Ready) {
        m_context.prompter.message(prepared.messageText, prepared.messageTitle, ui::Icon::Warning);
        return;
    }
    if (!m_send->f_enviar_sms(prepared.request))
        m_context.prompter.message(kSendInProgress, kSendTitle, ui::Icon::Information);
}

void SendPanelController::Image2_Click()
{
    if (m_lists->agendaVacia()) {
        m_context.prompter.message(QStringLiteral("No existe ningún contacto en la agenda."),
                                   QStringLiteral("Agenda vacía"), ui::Icon::Information);
        return;
    }
    m_windows->open(startup::WindowId::Form7);
}

void SendPanelController::Image3_Click()
{
    if (m_lists->plantillasVacias()) {
        m_context.prompter.message(QStringLiteral("No existe ninguna plantilla creada."),
                                   QStringLiteral("Sin plantillas"), ui::Icon::Information);
        return;
    }
    m_windows->open(startup::WindowId::Form11);
}

void SendPanelController::Image4_Click()
{
    // The Tag stays: leaving the box afterwards processes the empty box.
    m_view.Text2()->clear();
    m_view.Text2()->setFocus();
    m_view.Image4()->hide();
    m_view.SkinLabel4()->clear();
    m_view.Command1()->setEnabled(false);
}

void SendPanelController::Image5_Click()
{
    m_view.Check2()->setChecked(false);
    m_view.Text2()->clear();
    m_view.Text2()->setFocus();
    m_view.Image4()->hide();
    m_view.Text1()->clear();
    m_view.SkinLabel4()->clear();
    m_picker->limpiar();
    m_view.Command1()->setEnabled(false);
}

} // namespace sending
