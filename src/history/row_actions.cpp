#include "history/row_actions.h"

#include "history/history_view.h"

namespace history {

DeleteOutcome deleteSendRecord(db::Connection &connection, const QString &nodeKey, const QString &now)
{
    DeleteOutcome out;
    const std::optional<qint64> sid = sidFromKey(nodeKey);
    if (!sid)
        return out;
    // The same test of a send still to go out as the popup menu's (rowMenu), in the statement
    // itself: whatever enabled the item, such a row stays.
    const db::Result r = connection.execute(
        QStringLiteral("DELETE FROM Historial WHERE sid=?1 AND NOT (length(ifnull(f_programada, ''))=16 "
                       "AND substr(f_programada, 5, 1)='-' AND f_programada > ?2)"),
        {*sid, now});
    if (!r.ok()) {
        out.status = DeleteOutcome::Status::DatabaseError;
        return out;
    }
    if (r.changes == 0) {
        db::Result q;
        const QVariant kept = connection.scalar(QStringLiteral("SELECT count(*) FROM Historial WHERE sid=?"), {*sid}, &q);
        if (!q.ok()) {
            out.status = DeleteOutcome::Status::DatabaseError;
            return out;
        }
        if (kept.toLongLong() > 0) {
            out.notice = kDeleteScheduledNotice;
        } else {
            // Gone meanwhile: the view catches up.
            out.changed = true;
            out.notice = kSendGoneNotice;
        }
        return out;
    }
    out.status = DeleteOutcome::Status::Deleted;
    out.deleted = r.changes;
    out.changed = true;
    out.notice = {QStringLiteral("Registro eliminado satisfactoriamente"), QStringLiteral("Historial eliminado")};
    return out;
}

DeleteOutcome deleteSentSends(db::Connection &connection, const Condition &view, const QString &now,
                                        const ui::AskText &ask)
{
    DeleteOutcome out;
    const Condition sent = view && Condition{QStringLiteral("f_programada='Inmediato' OR f_programada<=?"), {now}};
    db::Result r;
    // The sids are taken before asking: whatever arrives while the box is up is not touched.
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT sid FROM Historial") + whereClause(sent) + QStringLiteral(" ORDER BY sid DESC"),
        sent.values, &r);
    if (!r.ok()) {
        out.status = DeleteOutcome::Status::DatabaseError;
        return out;
    }
    if (rows.empty())
        return out;

    const QString n = QString::number(rows.size());
    const bool yes = ui::confirmByTypingYes(
        ask,
        QStringLiteral("Está a punto de eliminar ") + n
            + QStringLiteral(" registros de historial. Dicha operación no tiene vuelta a atrás, está seguro de "
                             "ello? Escriba SI para continuar, o pulse cancelar."),
        QStringLiteral("Confirmar eliminación de ") + n + QStringLiteral(" historiales de envíos"), ui::ConfirmationRule::Trimmed);
    if (!yes) {
        out.status = DeleteOutcome::Status::Aborted;
        out.notice = {ui::kAbortedMessage, ui::kAbortedTitle};
        return out;
    }

    db::Transaction transaction(connection);
    if (!transaction.isActive()) {
        out.status = DeleteOutcome::Status::DatabaseError;
        return out;
    }
    db::Statement remove = connection.prepare(QStringLiteral("DELETE FROM Historial WHERE sid=?1"), &r);
    qint64 deleted = 0;
    for (const db::Row &row : rows) {
        if (!r.ok())
            break;
        remove.bind(1, row.value(0));
        r = remove.run();
        remove.reset();
        deleted += r.changes;
    }
    if (r.ok())
        r = transaction.commit();
    if (!r.ok()) {
        out.status = DeleteOutcome::Status::DatabaseError;
        return out;
    }
    out.status = DeleteOutcome::Status::Deleted;
    out.deleted = deleted;
    out.changed = deleted > 0;
    out.notice.text = QStringLiteral("Se han eliminado ") + QString::number(deleted)
        + QStringLiteral(" registros de historial.");
    return out;
}

} // namespace history
