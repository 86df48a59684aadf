#pragma once

#include "history/account.h"
#include "history/condition.h"
#include "platform/ui/confirmation.h"
#include "platform/db/connection.h"
#include "platform/net/gateway_reply.h"

#include <QString>
#include <QStringList>

#include <functional>

// Cancelling scheduled sends (`APIv2/scheduled_sendings.php`, action "2"): one send from the
// popup menu, or every future send of the view ("Cancelar todos").
namespace history {

// What the window shows after an operation: a message and its title (both may be empty).
struct Notice {
    QString text;
    QString title;
};

// Said when a popup item's send has gone from the history since the menu opened (deleted or
// cancelled from another window or workstation): the item acts on no other send instead.
inline const Notice kSendGoneNotice{QStringLiteral("Este envío ya no está en el historial. No se ha hecho nada."),
                                       QStringLiteral("Historial")};

// The send a cancellation is about: the row the user chose and the gateway's number it carries.
// Two rows may carry one number (a gateway that numbered its sends afresh, two accounts on one
// shared database); what the gateway answers about the number is only ever written to this row,
// and only while it is still a scheduled send.
struct CancelTarget {
    qint64 sid = 0;
    QString smsId;
};

struct CancelRequest {
    enum class Status { Ready, NoAccount, NoRow, NoIdentifier, DatabaseError };
    Status status = Status::Ready;
    QString url;              // the GET address, values made form-safe
    QString smsId;            // the send asked about (trimmed)
    qint64 sid = 0;           // its row: the reply acts on this row alone
    Notice notice;            // for NoAccount, NoIdentifier and a send gone since (NoRow)

    CancelTarget target() const { return {sid, smsId}; }
};

// "Cancelar envío" for the send a node key names. `account` must already be reloaded
// (loadAccount); `buf` is the cancel channel's counter. A row without the gateway's
// identifier cannot be cancelled and is not asked about; a row no longer there is NoRow with
// kSendGoneNotice.
CancelRequest buildCancelRequest(db::Connection &connection, const QString &nodeKey, const Account &account, qint64 buf);

struct CancelOutcome {
    enum class Status {
        Cancelled,       // "0": the row is gone
        NotCancelled,    // "1", "2", any other code, or the request never reached the gateway
        OfferDelete,     // "3": ask, then deleteRefusedSend() on Yes
        AlreadySent,     // "4": the row is now an immediate send
        Uncertain,       // neither the gateway's success nor its refusal: it may have been cancelled
        DatabaseError,
        TooLarge,        // the reply passed the channel's cap: it may have been cancelled
    };
    Status status = Status::NotCancelled;
    bool changed = false;     // redraw the view
    bool askBalance = false;  // credits may have come back: take the balance from the gateway
    Notice notice;
};

// recordCancelReply for a reply the gateway gave. `target` is CancelRequest::target(), captured
// when the request left: a reply naming another send never removes that other send, another row
// carrying the same number is never touched, the row is changed only while it is still scheduled,
// and an empty number touches no row. A reply that is neither the gateway's success nor one of its refusals (no
// one-digit code before a "|": an empty page, an error page) leaves the send marked
// isCancelUncertain and says that it may have been cancelled.
CancelOutcome recordCancelReply(db::Connection &connection, const QString &replyText, const CancelTarget &target);
// The same for what the request came to: a reply past the channel's cap, or none after the whole
// request had gone out, may have been carried out, and the send is marked so; a request that
// never reached the gateway cancelled nothing.
CancelOutcome recordCancelReply(db::Connection &connection, const net::GatewayReply &reply, const CancelTarget &target);

// Said of one send whose cancellation may have been carried out.
inline const QString kCancelUncertainMessage = QStringLiteral(
    "No se ha recibido una respuesta reconocible de la pasarela. El envío puede haberse cancelado: queda marcado en "
    "el historial como cancelación sin confirmar. Compruebe sus envíos programados en su cuenta web.");

// The Yes of the code "3" question: the row of the send asked about is deleted locally, when it is
// still a scheduled send.
db::Result deleteRefusedSend(db::Connection &connection, const CancelTarget &target);

// The blocking transport as "Cancelar todos" needs it: a POST of the pairs to `path` (relative to
// the gateway's base address). The real one wraps net::SyncHttp; values go in raw, the transport
// makes them form-safe.
struct TransportReply {
    bool ok = false;          // false: the gateway could not be reached or did not answer
    QString text;
    bool delivered = false;   // not ok, but the whole request had gone out: it may have been acted on
};
using SyncTransport =
    std::function<TransportReply(const QString &path, const QStringList &names, const QStringList &values)>;

struct CancelAllOutcome {
    enum class Status { Nothing, NoAccount, Aborted, Done, Unreachable, DatabaseError };
    Status status = Status::Nothing;
    int asked = 0;            // future sends in the view
    int cancelled = 0;
    int uncertain = 0;        // sends that may have been cancelled (see recordCancelReply)
    bool changed = false;     // redraw the view
    bool askBalance = false;  // credits may have come back: take the balance from the gateway
    Notice notice;
};

// "Cancelar todos" over the view's condition (HistoryPage::condition). `now` is nowStamp().
// Once the gateway has answered, in one transaction, every cancelled send's row goes (that row
// alone, while still scheduled, as for one send) and every send whose reply was neither a success nor a refusal is marked isCancelUncertain; the message
// names each of those. Rows without the gateway's identifier are not asked about and stay.
CancelAllOutcome cancelAllScheduled(db::Connection &connection, const Condition &view, const Account &account,
                               const QString &now, const ui::AskText &ask, const SyncTransport &transport);

inline const QString kNotCancelledMessage = QStringLiteral("No ha sido posible cancelar el envio.");

} // namespace history
