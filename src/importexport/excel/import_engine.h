#pragma once

#include "importexport/excel/import_record.h"
#include "importexport/excel/record_sheet.h"
#include "importexport/store/agenda_store.h"

#include <QString>

#include <chrono>
#include <optional>

namespace db { class Connection; }

// The Excel import engine: one record at a time into Agenda, duplicates by phone decided by an
// earlier answer or handed to the user, and the run that drives it (the first records at once,
// then batches from the progress window's timer, stops for the duplicate dialog, the end).
namespace importexport::excel {

// The answer to a duplicate phone.
enum class Choice { None = 0, OverwriteOnce = 1, OverwriteAll = 2, IgnoreOnce = 3, IgnoreAll = 4 };

// The run's counters: new (inserted plus overwritten), valid (records that passed validation) and
// put into the target group.
struct Counters {
    int added = 0;
    int valid = 0;
    int inGroup = 0;
    int repeated() const { return valid - added; }
    // "added,valid,inGroup"
    QString text() const;
    static Counters fromText(const QString &text);
    bool operator==(const Counters &) const = default;
};

// The record against the stored contact: equal when every field but the phone matches. A null
// stored column decides nothing (it neither matches nor differs).
bool sameData(const Contact &record, const StoredContact &stored);

struct Conflict {
    int record = 0;
    Contact imported;
    ContactValues stored;   // as stored
};

class ImportEngine final {
public:
    enum class Outcome {
        Done,        // valid: inserted, overwritten, kept or already identical
        Invalid,     // skipped; counts nowhere
        Duplicate,    // waits for the user's answer; nothing of the record was written
        Failed         // the database refused a write; nothing of the record was written
    };

    // `group`: the target group's sid as text, empty for none.
    ImportEngine(db::Connection &connection, const RecordSheet &sheet, const FieldColumns &columns, QString group);

    // A dialog answer; None leaves the standing decisions as they are.
    void applyChoice(Choice choice);
    Outcome importRecord(int record);

    // The first of the next 100 records that holds a name and a phone to try.
    std::optional<int> nextCandidate(int record, int total) const;

    // What a batch may have to take back when its transaction does not reach the file: the
    // counters and the standing answers as they were before it.
    struct Mark {
        Counters counters;
        bool overwriteOnce = false;
        bool ignoreOnce = false;
    };
    Mark mark() const { return {m_counters, m_overwriteOnce, m_ignoreOnce}; }
    void restore(const Mark &mark);
    // The batch's records could not be kept: the message that stops the run.
    void batchNotSaved(int from, int until, const db::Result &r);

    db::Connection &connection() { return m_store.connection(); }
    // Records are written inside a batch's open transaction.
    void setInBatch(bool inBatch) { m_inBatch = inBatch; }
    const Counters &counters() const { return m_counters; }
    const Conflict &conflict() const { return m_conflict; }
    const QString &error() const { return m_error; }
    const QString &group() const { return m_group; }
    const RecordSheet &sheet() const { return m_sheet; }

private:
    Outcome write(int record, const Contact &contact);

    AgendaStore m_store;
    const RecordSheet &m_sheet;
    FieldColumns m_columns;
    QString m_group;
    bool m_overwriteOnce = false;
    bool m_overwriteAll = false;
    bool m_ignoreOnce = false;
    bool m_ignoreAll = false;
    bool m_inBatch = false;
    Counters m_counters;
    Conflict m_conflict;
    QString m_error;
};

// How far the look-ahead over records without data goes in one step.
inline constexpr int kMaxLookAhead = 100;
// Records the progress timer imports per tick when counted.
inline constexpr int kRecordsPerBatch = 5;
// How long one tick of the progress timer imports before the window gets its turn again: short
// enough for the window to stay live, long enough for the work to outweigh the tick itself.
inline constexpr std::chrono::milliseconds kSlicePerTick{40};
// A tick of the window works at least this many times as long as the last tick's commit took...
inline constexpr int kWorkPerCommit = 8;
// ...but never longer than this, so the window is never left without its turn for long.
inline constexpr std::chrono::milliseconds kLongestSlice{1000};

class ImportRun final {
public:
    enum class State {
        Running,              // the timer carries on from current() + 1
        AwaitingAnswer,   // the duplicate dialog is up for conflict()
        Finished,            // show the summary
        Failed               // show error(); what was written before stays
    };

    ImportRun(ImportEngine &engine, int first, int total);

    // The first records, synchronously, until the first valid one.
    State start();
    // The user's answer to the conflict: the conflicting record again, then on as start().
    State answer(Choice choice);
    // One tick of the progress timer: up to `limit` records, invalid ones skipped one by one.
    State batch(int limit = kRecordsPerBatch);
    // One tick that imports for about `budget` (at least one record), invalid ones skipped one by
    // one. The tick's records share one transaction, each record whole or not at all inside it,
    // and the tick ends with `Agenda` committed, so a pause or the dialog always sees it settled.
    State slice(std::chrono::nanoseconds budget = kSlicePerTick);
    // The progress window's tick: a slice sized from the last commit (kWorkPerCommit).
    State tick();
    // "Finalizar": the remaining records are not read; the next tick ends the run.
    void finish();
    // The dialog was closed without an answer: the conflicting record is read again on resume.
    void pauseAtConflict();

    int current() const { return m_current; }
    int total() const { return m_total; }
    State state() const { return m_state; }
    const Counters &counters() const { return m_engine.counters(); }
    const Conflict &conflict() const { return m_engine.conflict(); }
    const QString &error() const { return m_engine.error(); }

private:
    State walkFrom(int record);
    State process(int limit, std::chrono::nanoseconds budget);

    ImportEngine &m_engine;
    int m_first = 1;
    int m_total = 0;
    int m_current = 0;             // the last record looked at
    std::chrono::nanoseconds m_lastCommit{0};
    State m_state = State::Running;
};

} // namespace importexport::excel
