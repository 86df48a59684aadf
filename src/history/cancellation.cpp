#include "history/cancellation.h"

#include "brand/brand.h"
#include "history/gateway_request.h"
#include "history/history_view.h"
#include "platform/net/too_large_reply.h"
#include "platform/text/url_encode.h"

namespace history {

namespace {

const QString kScript = QStringLiteral("APIv2/scheduled_sendings.php");
const QString kFutureRows = QStringLiteral("f_programada<>'Inmediato' AND f_programada>?");
// Only a send the gateway identified can be cancelled there; an empty identifier would name them
// all, and a text the gateway did not give as a number is not one of its sends.
const QString kWithIdentifier = kGatewayIdCondition;

// The gateway's own answer: a one-digit code before a "|". Anything else (an empty page, an
// error page, a broken line) is neither its success nor its refusal. Empty when not an answer.
QString answerCode(const QString &replyText)
{
    const QString text = replyText.trimmed();
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return {};
    const QString code = text.left(bar).trimmed();
    if (code.size() != 1 || code.at(0) < QLatin1Char('0') || code.at(0) > QLatin1Char('9'))
        return {};
    return code;
}

const QString kMarkUncertain =
    QStringLiteral("UPDATE Historial SET estado=") + kCancelUncertainState + QStringLiteral(" WHERE ");

// The send asked about may have been cancelled: its row stays, marked, and the balance is asked for.
CancelOutcome markUncertain(db::Connection &connection, const QString &smsId, CancelOutcome out)
{
    out.askBalance = true;
    const db::Result r = connection.execute(kMarkUncertain + sameGatewayId(1), {smsId});
    if (!r.ok()) {
        out.notice.text = out.status == CancelOutcome::Status::Uncertain
            ? QStringLiteral("No se ha recibido una respuesta reconocible de la pasarela. El envío puede haberse "
                             "cancelado, pero no ha sido posible marcarlo en el historial. Compruebe sus envíos "
                             "programados en su cuenta web.")
            : out.notice.text + QStringLiteral(" No ha sido posible marcarlo en el historial.");
        out.status = CancelOutcome::Status::DatabaseError;
        return out;
    }
    out.changed = r.changes > 0;
    return out;
}

} // namespace

CancelRequest buildCancelRequest(db::Connection &connection, const QString &nodeKey, const Account &account, qint64 buf)
{
    CancelRequest req;
    const std::optional<qint64> sid = sidFromKey(nodeKey);
    if (!sid) {
        req.status = CancelRequest::Status::NoRow;
        return req;
    }
    if (account.login.isEmpty()) {
        req.status = CancelRequest::Status::NoAccount;
        req.notice = {kMissingAccountMessage, kMissingAccountTitle};
        return req;
    }
    db::Result r;
    const std::vector<db::Row> rows =
        connection.select(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {*sid}, &r);
    if (!r.ok()) {
        req.status = CancelRequest::Status::DatabaseError;
        return req;
    }
    if (rows.empty()) {
        req.status = CancelRequest::Status::NoRow;
        req.notice = kSendGoneNotice;
        return req;
    }
    req.smsId = rows.front().value(0).toString().trimmed();
    // Every row without an identifier would match an empty one, and a text that is not the
    // gateway's number names no send of it: such a send is never asked about.
    if (!isGatewayId(req.smsId)) {
        req.status = CancelRequest::Status::NoIdentifier;
        req.notice.text = kNotCancelledMessage;
        return req;
    }
    req.url = brand::baseUrl() + kScript + QStringLiteral("?username=") + text::escapeRawValue(account.login)
        + QStringLiteral("&password=") + text::escapeRawValue(account.pass) + QStringLiteral("&sms_id=")
        + text::escapeRawValue(req.smsId) + QStringLiteral("&action=2&buf=") + QString::number(buf);
    return req;
}

CancelOutcome recordCancelReply(db::Connection &connection, const net::GatewayReply &reply, const QString &smsId)
{
    CancelOutcome out;
    if (smsId.isEmpty()) {
        out.notice.text = kNotCancelledMessage;
        return out;
    }
    if (reply.status == net::GatewayReply::Status::TooLarge) {
        out.status = CancelOutcome::Status::TooLarge;
        out.notice = {net::kTooLargeRequestMessage, net::kTooLargeReplyTitle};
        return markUncertain(connection, smsId, out);
    }
    if (!reply.answered()) {
        if (!reply.requestDelivered) {
            // The request never reached the gateway: nothing was cancelled.
            out.notice.text = kNotCancelledMessage;
            return out;
        }
        out.status = CancelOutcome::Status::Uncertain;
        out.notice.text = kCancelUncertainMessage;
        return markUncertain(connection, smsId, out);
    }
    return recordCancelReply(connection, reply.text, smsId);
}

CancelOutcome recordCancelReply(db::Connection &connection, const QString &replyText, const QString &smsId)
{
    CancelOutcome out;
    out.notice.text = kNotCancelledMessage;
    if (smsId.isEmpty())
        return out;
    const QString code = answerCode(replyText);
    if (code.isEmpty()) {
        out.status = CancelOutcome::Status::Uncertain;
        out.notice.text = kCancelUncertainMessage;
        return markUncertain(connection, smsId, out);
    }
    if (code == QLatin1String("0")) {
        const db::Result r = connection.execute(QStringLiteral("DELETE FROM Historial WHERE ") + sameGatewayId(1), {smsId});
        if (!r.ok()) {
            out.status = CancelOutcome::Status::DatabaseError;
            out.notice = {};
            return out;
        }
        out.status = CancelOutcome::Status::Cancelled;
        out.changed = r.changes > 0;
        out.askBalance = true;
        out.notice.text = QStringLiteral(
            "El envio ha sido cancelado satisfactoriamente, y los créditos le han sido devueltos.");
    } else if (code == QLatin1String("3")) {
        out.status = CancelOutcome::Status::OfferDelete;
        out.notice = {QStringLiteral("No ha sido posible cancelar el envio, probablemente fue realizado desde otro "
                                     "usuario. Se recomienda eliminar el registro para evitar futuras confusiones."),
                      QStringLiteral("Cancelación fallida. Eliminar registro?")};
    } else if (code == QLatin1String("4")) {
        const db::Result r = connection.execute(
            QStringLiteral("UPDATE Historial SET f_programada='Inmediato' WHERE ") + sameGatewayId(1), {smsId});
        if (!r.ok()) {
            out.status = CancelOutcome::Status::DatabaseError;
            out.notice = {};
            return out;
        }
        out.status = CancelOutcome::Status::AlreadySent;
        out.changed = r.changes > 0;
        out.notice.text = QStringLiteral("El mensaje ya ha sido enviado, y no puede cancelarse.");
    }
    return out;
}

db::Result deleteRefusedSend(db::Connection &connection, const QString &smsId)
{
    if (smsId.isEmpty())
        return {};
    return connection.execute(QStringLiteral("DELETE FROM Historial WHERE ") + sameGatewayId(1), {smsId});
}

CancelAllOutcome cancelAllScheduled(db::Connection &connection, const Condition &view, const Account &account,
                               const QString &now, const ui::AskText &ask, const SyncTransport &transport)
{
    CancelAllOutcome out;
    if (account.login.isEmpty()) {
        out.status = CancelAllOutcome::Status::NoAccount;
        out.notice = {kMissingAccountMessage, kMissingAccountTitle};
        return out;
    }

    const Condition future = view && Condition{kFutureRows, {now}};
    db::Result r;
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT sid, id_web, f_programada FROM Historial") + whereClause(future && Condition{kWithIdentifier, {}})
            + QStringLiteral(" ORDER BY sid DESC"),
        future.values, &r);
    if (!r.ok()) {
        out.status = CancelAllOutcome::Status::DatabaseError;
        return out;
    }
    if (rows.empty())
        return out;

    out.asked = int(rows.size());
    const QString n = QString::number(out.asked);
    const bool yes = ui::confirmByTypingYes(
        ask,
        QStringLiteral("Está a punto de cancelar ") + n
            + QStringLiteral(" envíos programados. Dicha operación no tiene vuelta a atrás, está seguro de ello? "
                             "Escriba SI para continuar, o pulse cancelar."),
        QStringLiteral("Confirmar cancelación de ") + n + QStringLiteral(" envíos"), ui::ConfirmationRule::Exact);
    if (!yes) {
        out.status = CancelAllOutcome::Status::Aborted;
        out.notice = {ui::kAbortedMessage, ui::kAbortedTitle};
        return out;
    }

    QStringList cancelledIds;
    QStringList uncertainIds;
    QStringList uncertainTimes;
    bool unreachable = !transport;
    for (const db::Row &row : rows) {
        if (unreachable)
            break;
        const QString id = row.value(1).toString().trimmed();
        const TransportReply reply = transport(
            kScript,
            {QStringLiteral("Fuente"), QStringLiteral("username"), QStringLiteral("password"), QStringLiteral("sms_id"),
             QStringLiteral("action")},
            {QStringLiteral("Desktop"), account.login, account.pass, id, QStringLiteral("2")});
        // Neither the gateway's success nor its refusal, after the request reached it: it may have
        // cancelled the send and given its credits back.
        const QString code = reply.ok ? answerCode(reply.text) : QString();
        if (code.isEmpty() && (reply.ok || reply.delivered)) {
            uncertainIds.append(id);
            uncertainTimes.append(row.value(2).toString());
        }
        if (!reply.ok) {
            unreachable = true;
            break;
        }
        if (code == QLatin1String("0"))
            cancelledIds.append(id);
    }

    // The gateway has let these sends go, or may have: the rows follow in one step.
    if (!cancelledIds.isEmpty() || !uncertainIds.isEmpty()) {
        out.askBalance = true;
        db::Transaction transaction(connection);
        if (!transaction.isActive())
            r = transaction.beginResult();
        const auto run = [&](const QString &statement, const QStringList &ids) {
            db::Statement st = connection.prepare(statement + sameGatewayId(1), &r);
            for (const QString &id : ids) {
                if (!r.ok())
                    break;
                st.bind(1, id);
                r = st.run();
                st.reset();
            }
        };
        if (r.ok() && !cancelledIds.isEmpty())
            run(QStringLiteral("DELETE FROM Historial WHERE "), cancelledIds);
        if (r.ok() && !uncertainIds.isEmpty())
            run(kMarkUncertain, uncertainIds);
        if (r.ok())
            r = transaction.commit();
        out.changed = r.ok();
    }
    out.cancelled = int(cancelledIds.size());
    out.uncertain = int(uncertainIds.size());
    // Each send that may have been cancelled is named, whatever the history could record.
    QString uncertainLines;
    for (qsizetype i = 0; i < uncertainIds.size(); ++i) {
        uncertainLines += QStringLiteral("\nEl envío programado para el ") + uncertainTimes.at(i)
            + QStringLiteral(" (identificador ") + uncertainIds.at(i)
            + QStringLiteral(") puede haberse cancelado: no se ha recibido una respuesta reconocible de la pasarela.")
            + (out.changed ? QStringLiteral(" Queda marcado en el historial como cancelación sin confirmar.") : QString());
    }
    if (!r.ok()) {
        out.status = CancelAllOutcome::Status::DatabaseError;
        out.notice.text = QStringLiteral("Se han cancelado ") + QString::number(out.cancelled)
            + QStringLiteral(" envios programados, pero no ha sido posible cambiarlos en el historial.") + uncertainLines;
        return out;
    }
    const QString done = QStringLiteral("Se han cancelado ") + QString::number(out.cancelled)
        + QStringLiteral(" envios programados.") + uncertainLines;
    if (unreachable) {
        out.status = CancelAllOutcome::Status::Unreachable;
        out.notice = {QStringLiteral("No ha sido posible conectar con el servidor. ") + done,
                      QStringLiteral("Conexión fallida")};
    } else {
        out.status = CancelAllOutcome::Status::Done;
        out.notice.text = done;
    }
    return out;
}

} // namespace history
