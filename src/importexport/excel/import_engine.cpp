#include "importexport/excel/import_engine.h"

#include "importexport/excel/column_mapping.h"
#include "platform/db/connection.h"

#include <QStringList>

#include <algorithm>
#include <limits>
#include <optional>

namespace importexport::excel {

QString Counters::text() const
{
    return QString::number(added) + u',' + QString::number(valid) + u',' + QString::number(inGroup);
}

Counters Counters::fromText(const QString &text)
{
    const QStringList parts = text.trimmed().split(u',');
    Counters c;
    c.added = parts.value(0).trimmed().toInt();
    c.valid = parts.value(1).trimmed().toInt();
    c.inGroup = parts.value(2).trimmed().toInt();
    return c;
}

namespace {

// The record as the store writes it: every text as read, a missing birth date Null.
ContactValues valuesOf(const Contact &c)
{
    return {c.name,     c.phone,   c.fullName, c.address,
            c.otherPhone, c.comment, c.birthDate.isEmpty() ? QVariant() : QVariant(c.birthDate)};
}

} // namespace

bool sameData(const Contact &record, const StoredContact &stored)
{
    // Every imported text takes part in the comparison, the empty birth date too.
    ContactValues imported = valuesOf(record);
    imported.birthDate = record.birthDate;
    return !valuesDiffer(imported, stored.values);
}

ImportEngine::ImportEngine(db::Connection &connection, const RecordSheet &sheet, const FieldColumns &columns, QString group)
    : m_store(connection), m_sheet(sheet), m_columns(columns), m_group(std::move(group).trimmed())
{
}

void ImportEngine::applyChoice(Choice choice)
{
    if (choice == Choice::None)
        return;
    m_overwriteOnce = choice == Choice::OverwriteOnce;
    m_overwriteAll = choice == Choice::OverwriteAll;
    m_ignoreOnce = choice == Choice::IgnoreOnce;
    m_ignoreAll = choice == Choice::IgnoreAll;
}

ImportEngine::Outcome ImportEngine::importRecord(int record)
{
    const Record read = readRecord(m_sheet, record, m_columns);
    if (!read.valid)
        return Outcome::Invalid;
    return write(record, read.contact);
}

ImportEngine::Outcome ImportEngine::write(int record, const Contact &contact)
{
    // A record is written whole or not at all: a failure between its insert (or overwrite) and
    // its group change leaves neither, and the counters only move once the record is committed.
    const auto fail = [&](const db::Result &r) {
        m_error = QStringLiteral("No se ha podido guardar en la agenda el contacto %1 (%2 %3). La importación se ha "
                                 "detenido; los contactos importados hasta ese momento se conservan.")
                      .arg(contact.name, m_sheet.swapped() ? QStringLiteral("columna") : QStringLiteral("fila"),
                           m_sheet.swapped() ? columnName(record) : QString::number(record));
        qWarning("Excel import: %s", qPrintable(r.error));
        return Outcome::Failed;
    };

    // Inside a batch the batch's transaction already keeps the look-up and the writes together;
    // a record then needs a savepoint of its own only when it writes twice.
    db::Connection &database = m_store.connection();
    std::optional<db::Transaction> transaction;
    const auto begin = [&]() {
        transaction.emplace(database);
        return transaction->isActive();
    };
    if (!m_inBatch && !begin())
        return fail({db::Status::Error, QStringLiteral("cannot begin a transaction")});

    Counters counted = m_counters;
    ++counted.valid;
    const bool withGroup = !m_group.isEmpty();

    db::Result r;
    const std::optional<StoredContact> stored = m_store.findByPhone(contact.phone, &r);
    if (!r.ok())
        return fail(r);

    if (!stored) {
        r = m_store.insert(valuesOf(contact), m_group);
        if (!r.ok())
            return fail(r);
        ++counted.added;
        if (withGroup)
            ++counted.inGroup;
    } else {
        const bool same = sameData(contact, *stored);
        const bool overwrite = m_overwriteOnce || m_overwriteAll;
        const bool ignore = m_ignoreOnce || m_ignoreAll;
        if (!same && !overwrite && !ignore) {
            // Nothing is written until the user answers; the record is read again then.
            m_conflict = {record, contact, stored->values};
            return Outcome::Duplicate;
        }
        const QString list = stored->groupSids.toString();
        const bool joinsGroup = withGroup && !listHasGroup(list, m_group);
        if (joinsGroup && !same && overwrite && !transaction && !begin())
            return fail({db::Status::Error, QStringLiteral("cannot begin a savepoint")});
        if (joinsGroup) {
            r = m_store.setGroups(stored->sid, listWithGroup(list, m_group));
            if (!r.ok())
                return fail(r);
            ++counted.inGroup;
        }
        if (!same && overwrite) {
            r = m_store.overwrite(stored->sid, valuesOf(contact));
            if (!r.ok())
                return fail(r);
            ++counted.added;
        }
    }

    if (transaction) {
        r = transaction->commit();
        if (!r.ok())
            return fail(r);
    }
    m_counters = counted;
    // The "once" answers are spent on the record they decided.
    if (stored && !sameData(contact, *stored)) {
        if (m_overwriteOnce || m_overwriteAll)
            m_overwriteOnce = false;
        else
            m_ignoreOnce = false;
    }
    return Outcome::Done;
}

void ImportEngine::restore(const Mark &mark)
{
    m_counters = mark.counters;
    m_overwriteOnce = mark.overwriteOnce;
    m_ignoreOnce = mark.ignoreOnce;
}

void ImportEngine::batchNotSaved(int from, int until, const db::Result &r)
{
    const bool byColumn = m_sheet.swapped();
    const auto label = [byColumn](int record) {
        return byColumn ? columnName(record) : QString::number(record);
    };
    m_error = QStringLiteral("No se han podido guardar en la agenda los contactos de las %1 %2 a %3. La importación "
                             "se ha detenido; los contactos importados antes se conservan.")
                  .arg(byColumn ? QStringLiteral("columnas") : QStringLiteral("filas"), label(from), label(until));
    qWarning("Excel import: %s", qPrintable(r.error));
}

std::optional<int> ImportEngine::nextCandidate(int record, int total) const
{
    for (int k = record + 1; k <= record + kMaxLookAhead && k <= total; ++k)
        if (hasNameAndPhone(m_sheet, k, m_columns))
            return k;
    return std::nullopt;
}

ImportRun::ImportRun(ImportEngine &engine, int first, int total) : m_engine(engine), m_first(first), m_total(total)
{
    m_current = m_first - 1;
}

ImportRun::State ImportRun::start()
{
    return m_state = walkFrom(m_first);
}

ImportRun::State ImportRun::answer(Choice choice)
{
    m_engine.applyChoice(choice);
    return m_state = walkFrom(m_engine.conflict().record);
}

ImportRun::State ImportRun::walkFrom(int record)
{
    while (record <= m_total) {
        m_current = record;
        switch (m_engine.importRecord(record)) {
        case ImportEngine::Outcome::Duplicate:
            return State::AwaitingAnswer;
        case ImportEngine::Outcome::Failed:
            return State::Failed;
        case ImportEngine::Outcome::Done:
            return record == m_total ? State::Finished : State::Running;
        case ImportEngine::Outcome::Invalid:
            if (const std::optional<int> next = m_engine.nextCandidate(record, m_total)) {
                record = *next;
                continue;
            }
            // A long stretch without data does not end the run while records remain after it:
            // the timer carries on past the stretch, one record at a time.
            if (record + kMaxLookAhead >= m_total) {
                m_current = m_total;
                return State::Finished;
            }
            m_current = record + kMaxLookAhead;
            return State::Running;
        }
    }
    return State::Finished;
}

ImportRun::State ImportRun::batch(int limit)
{
    return process(limit, std::chrono::nanoseconds::max());
}

ImportRun::State ImportRun::slice(std::chrono::nanoseconds budget)
{
    return process(std::numeric_limits<int>::max(), budget);
}

ImportRun::State ImportRun::tick()
{
    // Each tick's commit writes back every index page its records touched, and with records in no
    // particular order that is most of the phone index: a commit grows with `Agenda`. Working a
    // few times as long as the last commit took keeps the commits a fixed share of the run however
    // large `Agenda` grows, and the window still gets its turn every fraction of a second.
    const std::chrono::nanoseconds budget = std::clamp<std::chrono::nanoseconds>(
        m_lastCommit * kWorkPerCommit, kSlicePerTick, kLongestSlice);
    return slice(budget);
}

ImportRun::State ImportRun::process(int limit, std::chrono::nanoseconds budget)
{
    if (m_state != State::Running)
        return m_state;
    const auto until = std::chrono::steady_clock::now() + std::min(budget, std::chrono::nanoseconds(std::chrono::hours(1)));
    // One transaction for the tick; each record's own becomes a savepoint inside it, so a record
    // that fails leaves nothing of itself and the ones before it stay.
    const ImportEngine::Mark before = m_engine.mark();
    const int first = m_current + 1;
    db::Transaction transaction(m_engine.connection());
    m_engine.setInBatch(transaction.isActive());
    State result = State::Running;
    for (int i = 0; i < limit && m_current < m_total; ++i) {
        if (i > 0 && std::chrono::steady_clock::now() >= until)
            break;
        ++m_current;
        const ImportEngine::Outcome outcome = m_engine.importRecord(m_current);
        if (outcome == ImportEngine::Outcome::Duplicate) {
            result = State::AwaitingAnswer;
            break;
        }
        if (outcome == ImportEngine::Outcome::Failed) {
            result = State::Failed;
            break;
        }
    }
    m_engine.setInBatch(false);
    if (transaction.isActive()) {
        const auto committing = std::chrono::steady_clock::now();
        const db::Result r = transaction.commit();
        m_lastCommit = std::chrono::steady_clock::now() - committing;
        if (!r.ok()) {
            // Nothing of the tick reached the file: its counters and answers go back, and the
            // run stops with `Agenda` as it was before the tick.
            transaction.rollback();
            m_engine.restore(before);
            m_engine.batchNotSaved(first, m_current, r);
            m_current = first - 1;
            return m_state = State::Failed;
        }
    }
    if (result != State::Running)
        return m_state = result;
    return m_state = m_current >= m_total ? State::Finished : State::Running;
}

void ImportRun::finish()
{
    m_current = m_total;
    if (m_state == State::AwaitingAnswer)
        m_state = State::Running;
}

void ImportRun::pauseAtConflict()
{
    if (m_state != State::AwaitingAnswer)
        return;
    m_current = m_engine.conflict().record - 1;
    m_state = State::Running;
}

} // namespace importexport::excel
