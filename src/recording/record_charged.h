#pragma once

#include "platform/db/connection.h"
#include "platform/db/repeated_statements.h"
#include "recording/pending_file.h"

#include <QList>

#include <functional>
#include <optional>

// Every charged row (a send, a birthday greeting) reaches `Historial` the same way: a transaction
// tried again while another workstation holds the shared file, and when every try fails, a small
// file beside the database, one record a line, written at the next start. A row is recorded once:
// one already there is never added again, and a record of the file that has been written is
// never written a second time, whatever its gateway number.
namespace recording {

// Whether this row is in `Historial` already: under the key a failed-looking try gave it, or with
// the same gateway number, send time and recipients (a row without either is never found).
// Nothing when the database could not say.
std::optional<bool> sendRecorded(db::Connection &connection, const SendRecord &record);

// Inserts the row unless sendRecorded() finds it; `alreadyThere` tells which happened.
db::Result insertSendOnce(db::Connection &connection, const SendRecord &record, bool *alreadyThere = nullptr);

// sendRecorded() and insertSendOnce() with their statements prepared once, for a caller that
// records many rows in a row (the start writing a long pending file).
class SendRecorder final {
public:
    explicit SendRecorder(db::Connection &connection);
    std::optional<bool> recorded(const SendRecord &record);
    db::Result insertOnce(const SendRecord &record, bool *alreadyThere = nullptr);
    // Whether the row inserted as `sid` in a try whose commit reported failure is there after all.
    std::optional<bool> landed(qint64 sid, const SendRecord &record);

private:
    std::optional<bool> countsAny(std::size_t which, const QVariantList &values);
    db::Connection &m_connection;
    db::RepeatedStatements<3> m_statements;
};

enum class RecordStatus {
    Recorded,   // the rows are in `Historial` (or nothing needed recording)
    Pending,    // the database refused every try: the rows wait in the pending file
    Lost        // neither the database nor the pending file took them
};

struct RecordOutcome {
    RecordStatus status = RecordStatus::Recorded;
    db::Result result;          // the database's last answer
    bool ok() const { return status == RecordStatus::Recorded; }
};

inline constexpr int kSaveAttempts = 2;
// How long each try waits for another workstation's lock. The rows have the pending file to go
// to, so the window is kept waiting a moment, not the connection's full time-out; a commit of
// another workstation is over well within it.
inline constexpr int kSaveBusyWaitMs = 250;

// Writes the rows in one transaction, all or none, tried `attempts` times (each waits at most
// kSaveBusyWaitMs for the file); `alongside` runs inside each try after the rows, for what goes
// with them (its failure must not cost the rows, so it undoes itself). A try whose commit
// reported failure is only repeated after looking for each row. When every try fails the rows
// not found go to the pending file beside the database, each with the key it was last given.
RecordOutcome recordCharged(db::Connection &connection, const QList<SendRecord> &rows, int attempts = kSaveAttempts,
                            const std::function<void()> &alongside = {});

} // namespace recording
