#include "history/cancellation.h"

#include "brand/brand.h"
#include "history/gateway_request.h"
#include "history/history_view.h"
#include "platform/net/reply_text.h"
#include "platform/net/too_large_reply.h"
#include "platform/text/url_encode.h"

namespace history {

namespace {

const QString kScript = QStringLiteral("APIv2/scheduled_sendings.php");
const QString kFutureRows = QStringLiteral("f_programada<>'Inmediato' AND f_programada>?");
// Only a send the gateway identified can be cancelled there; an empty identifier would name them
// all, and a text the gateway did not give as a number is not one of its sends.
const QString kWithIdentifier = kGatewayIdCondition;

// The gateway's own answer: its one-digit code (net::apiCode). Anything else (an empty page, an
// error page, a broken line) is neither its success nor its refusal. Empty when not an answer.
QString answerCode(const QString &replyText)
{
    const std::optional<int> code = net::apiCode(replyText.trimmed());
    return code ? QString::number(*code) : QString();
}

// The row a cancellation is about, as parameters 1 (its sid) and 2 (the gateway's number): that
// row alone, while it still carries the number and is still a scheduled send. Another row with the
// same number (an older send of a gateway that numbered afresh, another account's) is another
// send, and a row that has become an immediate send since is no longer the one the user chose.
const QString kChosenScheduledRow =
    QStringLiteral("sid=?1 AND ") + sameGatewayId(2) + QStringLiteral(" AND f_programada<>'Inmediato'");

QVariantList bound(const CancelTarget &target)
{
    return {target.sid, target.smsId};
}

const QString kMarkUncertain =
    QStringLiteral("UPDATE Historial SET estado=") + kCancelUncertainState + QStringLiteral(" WHERE ");

// The send asked about may have been cancelled: its row stays, marked, and the balance is asked for.
CancelOutcome markUncertain(db::Connection &connection, const CancelTarget &target, CancelOutcome out)
{
    out.askBalance = true;
    const db::Result r = connection.execute(kMarkUncertain + kChosenScheduledRow, bound(target));
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

// What the gateway said to the sends of a "Cancelar todos", in the order they were asked about.
struct CancelReplies {
    QList<CancelTarget> cancelled;
    QList<CancelTarget> uncertain;
    QStringList uncertainTimes;
    bool unreachable = false;
};

// The sends of the view still to come that the gateway identified, newest first.
std::vector<db::Row> cancellableSends(db::Connection &connection, const Condition &view, const QString &now,
                                      db::Result &r)
{
    const Condition future = view && Condition{kFutureRows, {now}};
    return connection.select(
        QStringLiteral("SELECT sid, id_web, f_programada FROM Historial") + whereClause(future && Condition{kWithIdentifier, {}})
            + QStringLiteral(" ORDER BY sid DESC"),
        future.values, &r);
}

// Whether the user, told how many sends are about to go, types SI.
bool confirmCancelAll(const ui::AskText &ask, int count)
{
    const QString n = QString::number(count);
    return ui::confirmByTypingYes(
        ask,
        QStringLiteral("Está a punto de cancelar ") + n
            + QStringLiteral(" envíos programados. Dicha operación no tiene vuelta a atrás, está seguro de ello? "
                             "Escriba SI para continuar, o pulse cancelar."),
        QStringLiteral("Confirmar cancelación de ") + n + QStringLiteral(" envíos"), ui::ConfirmationRule::Exact);
}

// Each send of `rows` (sid, id_web, f_programada) asked to be cancelled at the gateway, one
// request at a time, until the gateway cannot be reached.
CancelReplies askGatewayToCancel(const std::vector<db::Row> &rows, const Account &account,
                                 const SyncTransport &transport)
{
    CancelReplies replies;
    replies.unreachable = !transport;
    for (const db::Row &row : rows) {
        if (replies.unreachable)
            break;
        const CancelTarget target{row.value(0).toLongLong(), row.value(1).toString().trimmed()};
        const QString &id = target.smsId;
        const TransportReply reply = transport(
            kScript,
            {QStringLiteral("Fuente"), QStringLiteral("username"), QStringLiteral("password"), QStringLiteral("sms_id"),
             QStringLiteral("action")},
            {QStringLiteral("Desktop"), account.login, account.pass, id, QStringLiteral("2")});
        // Neither the gateway's success nor its refusal, after the request reached it: it may have
        // cancelled the send and given its credits back.
        const QString code = reply.ok ? answerCode(reply.text) : QString();
        if (code.isEmpty() && (reply.ok || reply.delivered)) {
            replies.uncertain.append(target);
            replies.uncertainTimes.append(row.value(2).toString());
        }
        if (!reply.ok) {
            replies.unreachable = true;
            break;
        }
        if (code == QLatin1String("0"))
            replies.cancelled.append(target);
    }
    return replies;
}

// `statement` run on each send's own row in turn, up to the first failure.
void runForEachTarget(db::Connection &connection, const QString &statement, const QList<CancelTarget> &targets,
                      db::Result &r)
{
    db::Statement st = connection.prepare(statement + kChosenScheduledRow, &r);
    for (const CancelTarget &target : targets) {
        if (!r.ok())
            break;
        st.bindAll(bound(target));
        r = st.run();
        st.reset();
    }
}

// The cancelled sends' rows deleted and the uncertain ones marked, in one transaction.
db::Result recordCancelReplies(db::Connection &connection, const CancelReplies &replies)
{
    db::Result r;
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        r = transaction.beginResult();
    if (r.ok() && !replies.cancelled.isEmpty())
        runForEachTarget(connection, QStringLiteral("DELETE FROM Historial WHERE "), replies.cancelled, r);
    if (r.ok() && !replies.uncertain.isEmpty())
        runForEachTarget(connection, kMarkUncertain, replies.uncertain, r);
    if (r.ok())
        r = transaction.commit();
    return r;
}

// One line for each send that may have been cancelled, whatever the history could record.
QString uncertainLines(const CancelReplies &replies, bool marked)
{
    QString lines;
    for (qsizetype i = 0; i < replies.uncertain.size(); ++i) {
        lines += QStringLiteral("\nEl envío programado para el ") + replies.uncertainTimes.at(i)
            + QStringLiteral(" (identificador ") + replies.uncertain.at(i).smsId
            + QStringLiteral(") puede haberse cancelado: no se ha recibido una respuesta reconocible de la pasarela.")
            + (marked ? QStringLiteral(" Queda marcado en el historial como cancelación sin confirmar.") : QString());
    }
    return lines;
}

// The closing status and notice: how many sends were cancelled, and whether the history could
// record it and the gateway could be reached.
void closeCancelAll(CancelAllOutcome &out, bool recorded, bool unreachable, const QString &uncertain)
{
    if (!recorded) {
        out.status = CancelAllOutcome::Status::DatabaseError;
        out.notice.text = QStringLiteral("Se han cancelado ") + QString::number(out.cancelled)
            + QStringLiteral(" envios programados, pero no ha sido posible cambiarlos en el historial.") + uncertain;
        return;
    }
    const QString done = QStringLiteral("Se han cancelado ") + QString::number(out.cancelled)
        + QStringLiteral(" envios programados.") + uncertain;
    if (unreachable) {
        out.status = CancelAllOutcome::Status::Unreachable;
        out.notice = {QStringLiteral("No ha sido posible conectar con el servidor. ") + done,
                      QStringLiteral("Conexión fallida")};
    } else {
        out.status = CancelAllOutcome::Status::Done;
        out.notice.text = done;
    }
}

// Both cancellations need the account: without one, `out` says so and the caller stops.
template <typename Outcome>
bool refusedWithoutAccount(const Account &account, Outcome &out)
{
    if (!account.login.isEmpty())
        return false;
    out.status = Outcome::Status::NoAccount;
    out.notice = {kMissingAccountMessage, kMissingAccountTitle};
    return true;
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
    if (refusedWithoutAccount(account, req))
        return req;
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
    req.sid = *sid;
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

CancelOutcome recordCancelReply(db::Connection &connection, const net::GatewayReply &reply, const CancelTarget &target)
{
    CancelOutcome out;
    if (target.smsId.isEmpty()) {
        out.notice.text = kNotCancelledMessage;
        return out;
    }
    if (reply.status == net::GatewayReply::Status::TooLarge) {
        out.status = CancelOutcome::Status::TooLarge;
        out.notice = {net::kTooLargeRequestMessage, net::kTooLargeReplyTitle};
        return markUncertain(connection, target, out);
    }
    if (!reply.answered()) {
        if (!reply.requestDelivered) {
            // The request never reached the gateway: nothing was cancelled.
            out.notice.text = kNotCancelledMessage;
            return out;
        }
        out.status = CancelOutcome::Status::Uncertain;
        out.notice.text = kCancelUncertainMessage;
        return markUncertain(connection, target, out);
    }
    return recordCancelReply(connection, reply.text, target);
}

CancelOutcome recordCancelReply(db::Connection &connection, const QString &replyText, const CancelTarget &target)
{
    CancelOutcome out;
    out.notice.text = kNotCancelledMessage;
    if (target.smsId.isEmpty())
        return out;
    const QString code = answerCode(replyText);
    if (code.isEmpty()) {
        out.status = CancelOutcome::Status::Uncertain;
        out.notice.text = kCancelUncertainMessage;
        return markUncertain(connection, target, out);
    }
    if (code == QLatin1String("0")) {
        // Cancelled at the gateway, its credits given back, whether or not the row can follow.
        out.askBalance = true;
        out.notice.text = QStringLiteral(
            "El envio ha sido cancelado satisfactoriamente, y los créditos le han sido devueltos.");
        const db::Result r = connection.execute(QStringLiteral("DELETE FROM Historial WHERE ") + kChosenScheduledRow,
                                                bound(target));
        if (!r.ok()) {
            out.status = CancelOutcome::Status::DatabaseError;
            out.notice.text += QStringLiteral(" No ha sido posible borrarlo del historial.");
            return out;
        }
        out.status = CancelOutcome::Status::Cancelled;
        out.changed = r.changes > 0;
    } else if (code == QLatin1String("3")) {
        out.status = CancelOutcome::Status::OfferDelete;
        out.notice = {QStringLiteral("No ha sido posible cancelar el envio, probablemente fue realizado desde otro "
                                     "usuario. Se recomienda eliminar el registro para evitar futuras confusiones."),
                      QStringLiteral("Cancelación fallida. Eliminar registro?")};
    } else if (code == QLatin1String("4")) {
        const db::Result r = connection.execute(
            QStringLiteral("UPDATE Historial SET f_programada='Inmediato' WHERE ") + kChosenScheduledRow, bound(target));
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

db::Result deleteRefusedSend(db::Connection &connection, const CancelTarget &target)
{
    if (target.smsId.isEmpty())
        return {};
    return connection.execute(QStringLiteral("DELETE FROM Historial WHERE ") + kChosenScheduledRow, bound(target));
}

CancelAllOutcome cancelAllScheduled(db::Connection &connection, const Condition &view, const Account &account,
                               const QString &now, const ui::AskText &ask, const SyncTransport &transport)
{
    CancelAllOutcome out;
    if (refusedWithoutAccount(account, out))
        return out;

    db::Result r;
    const std::vector<db::Row> rows = cancellableSends(connection, view, now, r);
    if (!r.ok()) {
        out.status = CancelAllOutcome::Status::DatabaseError;
        return out;
    }
    if (rows.empty())
        return out;

    out.asked = int(rows.size());
    if (!confirmCancelAll(ask, out.asked)) {
        out.status = CancelAllOutcome::Status::Aborted;
        out.notice = {ui::kAbortedMessage, ui::kAbortedTitle};
        return out;
    }

    const CancelReplies replies = askGatewayToCancel(rows, account, transport);
    // The gateway has let these sends go, or may have: the rows follow in one step.
    if (!replies.cancelled.isEmpty() || !replies.uncertain.isEmpty()) {
        out.askBalance = true;
        r = recordCancelReplies(connection, replies);
        out.changed = r.ok();
    }
    out.cancelled = int(replies.cancelled.size());
    out.uncertain = int(replies.uncertain.size());
    closeCancelAll(out, r.ok(), replies.unreachable, uncertainLines(replies, out.changed));
    return out;
}

} // namespace history
