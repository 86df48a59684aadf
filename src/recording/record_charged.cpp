#include "recording/record_charged.h"

#include <algorithm>
#include <array>

namespace recording {

namespace {

enum Statement : std::size_t { LandedAs, SameSend, Insert };

constexpr std::array<const char *, 3> kStatements = {
    "SELECT count(*) FROM Historial WHERE sid=?1 AND destinatario=?2 AND f_envio=?3 AND id_web=?4 AND mensaje=?5",
    "SELECT count(*) FROM Historial WHERE id_web=?1 AND f_envio=?2 AND destinatario=?3",
    "INSERT INTO Historial (username,destinatario,f_envio,f_programada,mensaje,id_web,estado,remitente,creditos,"
    "bool_cumple) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)",
};

} // namespace

SendRecorder::SendRecorder(db::Connection &connection) : m_connection(connection), m_statements(connection, kStatements)
{
}

std::optional<bool> SendRecorder::countsAny(std::size_t which, const QVariantList &values)
{
    db::Result r;
    db::Statement &statement = m_statements.get(which, r);
    if (!statement.isValid())
        return std::nullopt;
    statement.bindAll(values);
    const bool row = statement.next();
    const std::optional<bool> any = row ? std::optional<bool>(statement.value(0).toLongLong() > 0) : std::nullopt;
    statement.reset();
    return any;
}

// Counter keys are never given twice once committed, so that key with this content is this row,
// with or without a gateway number.
std::optional<bool> SendRecorder::landed(qint64 sid, const SendRecord &row)
{
    return countsAny(LandedAs, {sid, row.recipients, row.sentAt, row.webId, row.message});
}

std::optional<bool> SendRecorder::recorded(const SendRecord &record)
{
    if (record.triedKey > 0) {
        const std::optional<bool> there = landed(record.triedKey, record);
        if (!there || *there)
            return there;
    }
    // Without the gateway's number two sends of one minute to the same numbers cannot be told
    // apart here: the pending file's marks do it for its records.
    if (record.webId.trimmed().isEmpty())
        return false;
    return countsAny(SameSend, {record.webId, record.sentAt, record.recipients});
}

db::Result SendRecorder::insertOnce(const SendRecord &record, bool *alreadyThere)
{
    if (alreadyThere)
        *alreadyThere = false;
    const std::optional<bool> there = recorded(record);
    if (!there)
        return m_connection.refusal().ok() ? db::Result{db::Status::Error, QStringLiteral("cannot look the send up")}
                                           : m_connection.refusal();
    if (*there) {
        if (alreadyThere)
            *alreadyThere = true;
        return {};
    }
    return m_statements.run(Insert, {record.username, record.recipients, record.sentAt, record.scheduledAt,
                                     record.message, record.webId, record.state, record.sender, record.credits,
                                     record.birthday ? QVariant(QStringLiteral("1")) : QVariant()});
}

std::optional<bool> sendRecorded(db::Connection &connection, const SendRecord &record)
{
    return SendRecorder(connection).recorded(record);
}

db::Result insertSendOnce(db::Connection &connection, const SendRecord &record, bool *alreadyThere)
{
    return SendRecorder(connection).insertOnce(record, alreadyThere);
}

RecordOutcome recordCharged(db::Connection &connection, const QList<SendRecord> &rows, int attempts,
                            const std::function<void()> &alongside)
{
    RecordOutcome out;
    if (rows.isEmpty())
        return out;
    // Waiting out the full time-out, twice, would freeze the window for as long with the send
    // already charged; the pending file takes the rows instead.
    const db::ShortBusyWait wait(connection, kSaveBusyWaitMs);
    SendRecorder recorder(connection);
    // The key each row got in the last try whose commit was attempted; 0: none.
    QList<qint64> triedAs(rows.size(), 0);
    // Rows a look-up found there: that earlier commit landed after all.
    QList<bool> foundLanded(rows.size(), false);
    for (int attempt = 0; attempt < std::max(attempts, 1); ++attempt) {
        db::Transaction transaction(connection);
        if (!transaction.isActive()) {
            out.result = connection.refusal().ok() ? db::Result{db::Status::Error, QStringLiteral("no transaction")}
                                                   : connection.refusal();
            continue;
        }
        // A commit that reported failure may still have landed: each row is looked for first.
        QList<qint64> insertedAs(rows.size(), 0);
        out.result = {};
        for (qsizetype i = 0; i < rows.size() && out.result.ok(); ++i) {
            bool there = false;
            if (triedAs.at(i) > 0) {
                const std::optional<bool> found = recorder.landed(triedAs.at(i), rows.at(i));
                if (!found) {
                    out.result = connection.refusal().ok()
                        ? db::Result{db::Status::Error, QStringLiteral("cannot look the row up")}
                        : connection.refusal();
                    break;
                }
                there = *found;
                foundLanded[i] = foundLanded.at(i) || there;
            }
            if (!there) {
                out.result = recorder.insertOnce(rows.at(i), &there);
                if (out.result.ok() && !there)
                    insertedAs[i] = connection.lastInsertRowId();
            }
        }
        if (!out.result.ok())
            continue;
        if (alongside)
            alongside();
        out.result = transaction.commit();
        if (out.result.ok())
            return out;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (insertedAs.at(i) > 0)
                triedAs[i] = insertedAs.at(i);
        }
    }
    // What is known to be there stays out of the file; the rest carries the key it was given,
    // so a commit that landed unseen is found at the next start.
    QList<SendRecord> waiting;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (foundLanded.at(i))
            continue;
        SendRecord row = rows.at(i);
        row.triedKey = triedAs.at(i);
        waiting.append(row);
    }
    if (waiting.isEmpty()) {
        out.result = {};
        return out;
    }
    const QString database = connection.path();
    out.status = !database.isEmpty() && appendPendingRecords(pendingSendsPath(database), waiting)
        ? RecordStatus::Pending
        : RecordStatus::Lost;
    return out;
}

} // namespace recording
