#pragma once

#include "sending/send_reply.h"
#include "sending/send_request.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <optional>

namespace net { class GatewayChannel; struct GatewayReply; }
namespace startup { class SendPanelView; struct AppContext; }

// The send road's gateway line (`WebBrowser1`, `APIv2/sendsms.php`): one send in flight at a
// time, its reply applied from the request captured when it left, and the queue of automated
// sends (`lista_numeros` / `lista_mensaje`) moved on by each reply.
namespace sending {

class QuoteLine;

class SendLine final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SendLine)

public:
    SendLine(startup::SendPanelView &view, startup::AppContext &context, QuoteLine &quote,
             QObject *parent = nullptr);
    ~SendLine() override;

    // `f_enviar_sms`: hourglass, send button disabled, the request posted. False (and nothing
    // posted) while another send awaits its reply.
    bool f_enviar_sms(const SendRequest &request);
    bool inFlight() const { return m_pending.has_value(); }

    // The automated queue: one item per send, numbers joined by ",".
    void enqueue(const QString &numeros, const QString &mensaje);
    qsizetype pendientes() const { return m_cola.size(); }
    // True from the first queued send until a reply finds the queue empty (`lista_numeros.Tag`).
    bool automatizado() const { return m_automatizado; }
    // `f_enviar_automatizados`: the first queued item into the panel and out through the send
    // road. While a send is under way the item waits; that send's reply sends it.
    void f_enviar_automatizados();

    net::GatewayChannel &channel() { return *m_channel; }

Q_SIGNALS:
    // One send reply handled: row written, balance, buttons and queue done (the box may follow).
    void replyHandled(sending::ReplyKind kind);

private:
    void f_respuesta_envio(const net::GatewayReply &reply);

    startup::SendPanelView &m_view;
    startup::AppContext &m_context;
    QuoteLine &m_quote;
    net::GatewayChannel *m_channel = nullptr;
    std::optional<SendRequest> m_pending;
    QList<QPair<QString, QString>> m_cola;
    bool m_automatizado = false;
    bool m_avisoMostrado = false;   // the batch's one notice about a failed send has been shown
    bool m_avisando = false;        // that notice is up right now
};

} // namespace sending
