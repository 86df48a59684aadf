#include "sending/panel/send_line.h"

#include "platform/net/gateway_channel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "sending/panel/account_row.h"
#include "sending/panel/panel_text.h"
#include "sending/panel/quote_line.h"
#include "sending/panel/send_panel_view.h"
#include "sending/send_time.h"
#include "sending/send_unknown.h"
#include "startup/app_context.h"
#include "startup/brand.h"

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
    const QString text = view.Combo1()->currentText();
    return text == QLatin1String(crearNuevoRemitente) ? QString() : text;
}

} // namespace

SendLine::SendLine(SendPanelView &view, startup::AppContext &context, QuoteLine &quote, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_context(context)
    , m_quote(quote)
    , m_channel(new net::GatewayChannel(net::Overlap::RefuseWhileBusy, this))
{
    m_channel->setObjectName(QStringLiteral("WebBrowser1"));
    m_channel->setLateReplyWindow(kEsperaTardia);
    connect(m_channel, &net::GatewayChannel::finished, this, &SendLine::f_respuesta_envio);
    connect(m_channel, &net::GatewayChannel::lateReply, this, &SendLine::respuestaTardia);
}

SendLine::~SendLine()
{
    m_context.busy.setBusy(kBusyReason, false);
}

bool SendLine::f_enviar_sms(const SendRequest &request)
{
    if (m_pending)
        return false;
    const GatewayRequest built = f_peticion_sendsms(request);
    if (m_channel->post(built.url, built.fields) != net::StartStatus::Started)
        return false;
    m_pending = request;
    m_view.Command1()->setEnabled(false);
    m_context.busy.setBusy(kBusyReason, true);
    return true;
}

void SendLine::enqueue(const QString &numbers, const QString &message)
{
    m_cola.append({numbers, message});
}

void SendLine::f_enviar_automatizados()
{
    if (m_cola.isEmpty() || m_pending || m_cerrando)
        return;
    const std::optional<AccountValues> account = leerCuentaEnvio(m_context.conexion);
    if (!account)
        return; // without an account nothing can go out; the queue waits for one

    if (!m_automatizado)
        m_avisoMostrado = false;   // a new batch: its first failure may be told again
    m_automatizado = true;
    const auto &[numbers, message] = m_cola.constFirst();
    ponerTextoCrLf(*m_view.Text1(), message);
    m_view.Text2()->setPlainText(numbers);

    SendRequest request;
    request.username = account->login;
    request.password = account->pass;
    request.mensaje = message;
    request.destino = numbers;
    const QString sender = chosenSender(m_view);
    request.remitente = sender.isEmpty() ? brand::remitente_defecto() : sender;
    request.ruta = rutaEnvio(account->ruta);
    request.automatizado = true;
    // Queued sends go out at once and as written: that is what the history records.
    request.fechaRegistro = kInmediato;
    request.mensajeRegistro = message;
    request.mensajeTecleado = message;
    if (f_enviar_sms(request))
        m_cola.removeFirst();
}

void SendLine::f_respuesta_envio(const net::GatewayReply &reply)
{
    if (!m_pending)
        return;
    const SendRequest request = *m_pending;
    m_pending.reset();

    ReplyOutcome outcome;
    if (reply.outcomeUnknown()) {
        // The gateway had the request: it may have charged it. Never an invitation to resend.
        outcome = respuestaDesconocida(request, QDateTime::currentDateTime());
        if (m_channel->listeningLate(reply.exchange))
            m_tardias.emplace(reply.exchange, request);
    } else {
        outcome = sending::f_respuesta_envio(request, reply.ok, reply.text, m_quote.saldo(),
                                             QDateTime::currentDateTime());
    }
    const RecordStatus recordStatus = registrar(request, outcome);

    if (request.automatizado && m_cola.isEmpty()) {
        // The batch ends with the reply to its last send, whatever that reply was: a lost last
        // send must not leave the panel in automated mode. Its boxes stay filled then, so the
        // user who sees the connection error can send that message again by hand.
        m_automatizado = false;
        if (outcome.queueStep) {
            m_view.Text2()->clear();
            m_view.Text1()->clear();
        }
    }
    m_view.Command1()->setEnabled(true);
    m_context.busy.setBusy(kBusyReason, false);
    Q_EMIT replyHandled(outcome.kind);
    Q_EMIT owedChanged();

    if (!m_cola.isEmpty())
        f_enviar_automatizados();

    avisar(request, outcome, recordStatus);
}

void SendLine::respuestaTardia(const net::GatewayReply &reply)
{
    const auto found = m_tardias.find(reply.exchange);
    if (found == m_tardias.end())
        return;
    const SendRequest request = found->second;
    m_tardias.erase(found);

    // Only the gateway's own word is news: a lost or empty late answer leaves the warning given.
    if (reply.answered() && reply.ok) {
        const ReplyOutcome outcome = sending::f_respuesta_envio(request, reply.ok, reply.text, m_quote.saldo(),
                                                                QDateTime::currentDateTime());
        const RecordStatus recordStatus = registrar(request, outcome);
        Q_EMIT lateReplyHandled(outcome.kind);
        Q_EMIT owedChanged();
        avisar(request, outcome, recordStatus);
        return;
    }
    Q_EMIT owedChanged();
}

RecordStatus SendLine::registrar(const SendRequest &request, const ReplyOutcome &outcome)
{
    RecordStatus recordStatus = RecordStatus::Recorded;
    if (outcome.row)
        recordStatus = aplicarRespuestaEnvio(m_context.conexion, outcome).status;
    if (outcome.nuevoSaldo)
        m_quote.saldoTrasEnvio(*outcome.nuevoSaldo, outcome.saldoEtiqueta);

    // The log is a courtesy: a line that cannot be written never holds the queue up.
    if (outcome.errorLogLine)
        anotarErrorAuto(m_context.ruta_programa, *outcome.errorLogLine);
    if (recordStatus != RecordStatus::Recorded && (request.automatizado || m_cerrando))
        anotarErrorAuto(m_context.ruta_programa,
                        QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy H:mm:ss"))
                            + (recordStatus == RecordStatus::Pending
                                   ? QStringLiteral("--- Enviado; se guardará en el historial al volver a iniciar: ")
                                   : QStringLiteral("--- Enviado pero no guardado en el historial: "))
                            + request.destino + QStringLiteral(". Texto del mensaje: ") + request.mensajeTecleado
                            + QStringLiteral("\r\n"));
    return recordStatus;
}

void SendLine::avisar(const SendRequest &request, const ReplyOutcome &outcome, RecordStatus recordStatus)
{
    // While the program ends nobody is there to read a box: what matters is recorded or logged.
    if (m_cerrando)
        return;
    if (recordStatus == RecordStatus::Lost && !request.automatizado) {
        m_context.prompter.message(kNotRecorded, QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    if (recordStatus == RecordStatus::Pending && !request.automatizado) {
        m_context.prompter.message(textoEnvioPendiente(), QStringLiteral("Envío de SMS"), ui::Icon::Warning);
        return;
    }
    if (outcome.noticeOnce) {
        // The queue has already moved on; replies handled while this box is up add their lines
        // to the log and raise no box of their own.
        if (!m_avisoMostrado && !m_avisando) {
            m_avisoMostrado = true;
            const QScopedValueRollback showingNotice(m_avisando, true);
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
    m_cerrando = true;
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
