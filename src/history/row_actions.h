#pragma once

#include "history/cancellation.h"
#include "history/condition.h"
#include "platform/ui/confirmation.h"
#include "platform/db/connection.h"

#include <QString>

// The popup menu's local actions on the history: delete one send, delete every sent send of the
// view. The gateway is not told (a scheduled send still goes out unless it is cancelled).
namespace history {

struct DeleteOutcome {
    enum class Status { Deleted, Nothing, Aborted, DatabaseError };
    Status status = Status::Nothing;
    qint64 deleted = 0;
    bool changed = false;     // redraw the view
    Notice notice;
};

// "Eliminar registro" on the send a node key names; nothing for "l0". A scheduled send still to go
// out is never deleted here (it would still go out and could no longer be cancelled): the user
// is told to cancel it first. A send already gone is said to be gone. `now` is nowStamp().
DeleteOutcome deleteSendRecord(db::Connection &connection, const QString &nodeKey, const QString &now);

inline const Notice kDeleteScheduledNotice{
    QStringLiteral("Este envío está programado y todavía no ha salido. Cancélelo antes de eliminar su registro."),
    QStringLiteral("Historial")};

// "Eliminar todos (enviados)": the sends of the view that are immediate or already due, after the
// user types "SI" (blanks around it accepted). Exactly the rows counted in the question are
// deleted, all in one transaction. `now` is nowStamp().
DeleteOutcome deleteSentSends(db::Connection &connection, const Condition &view, const QString &now,
                                        const ui::AskText &ask);

} // namespace history
