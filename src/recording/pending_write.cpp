#include "recording/pending_write.h"

#include "brand/brand.h"
#include "platform/files/file_state.h"
#include "platform/files/moving.h"
#include "platform/files/open_writers.h"
#include "platform/files/take_names.h"
#include "recording/pending_file.h"
#include "recording/record_charged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <array>
#include <span>

namespace recording {

namespace {

// Records of the pending file already written are marked in the database itself, in the same
// transaction as their rows: a file that cannot be emptied afterwards never writes them twice.
db::Result ensureMarks(db::Connection &connection)
{
    return connection.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS Pendientes_guardados (registro TEXT PRIMARY KEY)"));
}

enum MarkStatement : std::size_t { IsMarked, Mark };

constexpr std::array<const char *, 2> kMarkStatements = {
    "SELECT count(*) FROM Pendientes_guardados WHERE registro=?1",
    "INSERT OR IGNORE INTO Pendientes_guardados (registro) VALUES (?1)",
};

std::optional<bool> marked(db::RepeatedStatements<2> &marks, const QString &recordId)
{
    db::Result r;
    db::Statement &statement = marks.get(IsMarked, r);
    if (!statement.isValid())
        return std::nullopt;
    statement.bindAll({recordId});
    const bool row = statement.next();
    const std::optional<bool> done = row ? std::optional<bool>(statement.value(0).toLongLong() > 0) : std::nullopt;
    statement.reset();
    return done;
}

QString count(int n, const char *one, const char *many)
{
    return n == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(n);
}

// One file this start took, under a name of its own, as it was read.
struct TakenFile {
    QString path;
    QByteArray bytes;
    files::FileState state;
    QByteArray unreadable;   // lines that are not records
    QByteArray keptTail;     // a last line without its end that is no whole record
};

// Moves `from` to a name of this take's own and reads it. Nothing when another workstation took
// it first; `failed` when it could not be moved or read (then it stays where it was).
std::optional<TakenFile> takeOne(const files::TakeNames &names, const QString &from, bool *failed)
{
    const QString own = names.fresh();
    const files::MoveResult moved = files::moveWithoutReplacing(from, own);
    if (moved == files::MoveResult::SourceGone)
        return std::nullopt;
    if (moved != files::MoveResult::Moved) {
        *failed = true;
        return std::nullopt;
    }
    TakenFile taken;
    taken.path = own;
    const std::optional<files::FileState> state = files::fileState(own);
    bool readable = false;
    if (state)
        taken.bytes = readBounded(own, &readable);
    if (!state || !readable) {
        files::moveWithoutReplacing(own, from);
        *failed = true;
        return std::nullopt;
    }
    taken.state = *state;
    return taken;
}

// Whether the taken file may go: no writer this program can see holds it, and it is as it was
// read. Writers are asked about first, so one that let go in between has left its record where the
// look sees it.
//
// The start does not wait out the quiet period the watched file rests for. This file is this
// program's own format: every send appends one whole record in a single write, syncs it and
// closes the file, so what was read is whole records (a last line cut short is kept apart), and
// the only writer that can still reach the taken file is one that opened it just before the move
// and has one write left to make. Such a writer on this machine is seen here; one that has written
// has changed the file. Either way the file simply stays, under its own name, and the next start
// writes what is new in it (what was written now is marked and never written twice), so the user
// never waits at start for another workstation. What is left open is a writer on another machine
// between its open and its one write at the very moment this start removes the file: a window of
// one write, against seconds of waiting at every start that finds the file.
bool doneWith(const TakenFile &taken)
{
    if (files::heldOpenForWriting(taken.state))
        return false;
    const std::optional<files::FileState> now = files::fileState(taken.path);
    return now && *now == taken.state && now->size == taken.bytes.size();
}


// Takes what an interrupted take left and then the file itself (`live`, at `path`), each under a
// name of this take's own. `failed` when one could not be taken: it stays where it was.
QList<TakenFile> takeFiles(const files::TakeNames &names, const QString &path, const QFileInfo &live, bool *failed)
{
    QList<TakenFile> taken;
    for (const QString &left : names.leftovers()) {
        if (std::optional<TakenFile> one = takeOne(names, left, failed))
            taken.append(*one);
    }
    if (live.exists() && !live.isFile())
        *failed = true;
    else if (live.exists()) {
        if (std::optional<TakenFile> one = takeOne(names, path, failed))
            taken.append(*one);
    }
    return taken;
}

// The records of the taken files, each once. Lines that are not records are counted and kept with
// their file, as is a last line without its end.
QList<SendRecord> readRecords(QList<TakenFile> &taken, PendingWrite &out)
{
    QList<SendRecord> records;
    QSet<QString> seen;
    for (TakenFile &file : taken) {
        // A last line without its end may still be being written by another workstation: unless
        // it is a whole record already it stays.
        const qsizetype lastBreak = file.bytes.lastIndexOf('\n');
        const QByteArray tail = file.bytes.mid(lastBreak + 1);
        QList<QByteArray> lines = file.bytes.left(lastBreak + 1).split('\n');
        if (!tail.trimmed().isEmpty()) {
            if (parsePendingLine(tail))
                lines.append(tail);
            else
                file.keptTail = tail;
        }
        out.incompleteTail = out.incompleteTail || !file.keptTail.isEmpty();
        for (const QByteArray &line : std::as_const(lines)) {
            if (line.trimmed().isEmpty())
                continue;
            if (std::optional<SendRecord> record = parsePendingLine(line)) {
                if (!seen.contains(record->recordId)) {
                    seen.insert(record->recordId);
                    records.append(*record);
                }
            } else {
                file.unreadable += line + '\n';
                ++out.unreadable;
            }
        }
    }
    return records;
}

// Records written in one transaction. Each batch commits its rows with their marks, so a start that
// is killed or refused midway keeps what it wrote and the next start goes on from there; a batch is
// small enough that its commit is a moment, and another workstation waiting for the file gets its
// turn between batches.
constexpr qsizetype kRecordsPerCommit = 500;

// One batch into `Historial`, each record unless it is marked as written, each marked in the same
// transaction; `out` counts them once the transaction has committed.
db::Result writeBatch(db::Connection &connection, SendRecorder &recorder, std::span<const SendRecord> batch,
                      PendingWrite &out)
{
    db::Transaction transaction(connection);
    db::Result r = transaction.isActive() ? ensureMarks(connection) : connection.refusal();
    // Prepared once the marks' table is sure to be there, and again for each batch: a batch
    // whose transaction failed may have taken the table with it.
    db::RepeatedStatements<2> marks(connection, kMarkStatements);
    int written = 0;
    int alreadyThere = 0;
    for (const SendRecord &record : batch) {
        if (!r.ok())
            break;
        const std::optional<bool> done = marked(marks, record.recordId);
        if (!done) {
            r = connection.refusal().ok() ? db::Result{db::Status::Error, QStringLiteral("cannot read the marks")}
                                          : connection.refusal();
            break;
        }
        bool there = *done;
        if (!there)
            r = recorder.insertOnce(record, &there);
        if (r.ok())
            r = marks.run(Mark, {record.recordId});
        if (r.ok())
            ++(there ? alreadyThere : written);
    }
    if (r.ok())
        r = transaction.commit();
    if (r.ok()) {
        out.written += written;
        out.alreadyThere += alreadyThere;
    }
    return r;
}

// Every record into `Historial`, batch after batch; the first batch that fails ends the writing,
// and what it and the later batches hold waits for the next start.
db::Result writeRecords(db::Connection &connection, const QList<SendRecord> &records, PendingWrite &out)
{
    SendRecorder recorder(connection);
    for (qsizetype from = 0; from < records.size(); from += kRecordsPerCommit) {
        const std::span<const SendRecord> batch(records.constData() + from,
                                                std::size_t(std::min(kRecordsPerCommit, records.size() - from)));
        if (const db::Result r = writeBatch(connection, recorder, batch, out); !r.ok())
            return r;
    }
    return {};
}

// Removes each taken file that is done with; what of it must stay (lines not set aside, a last line
// cut short) goes back into the file at `path` first. What is not a record goes beside the file,
// for a person, only from files that go: a file that stays keeps its lines, and the start that
// finally removes it sets them aside, once. A file that cannot go stays for the next start, and
// when it held records `out` says so.
void releaseFiles(const QList<TakenFile> &taken, const QString &path, const QString &databasePath, bool heldRecords,
                  PendingWrite &out)
{
    QList<const TakenFile *> done;
    QByteArray unreadable;
    for (const TakenFile &file : taken) {
        if (!doneWith(file)) {
            out.fileKept = out.fileKept || heldRecords;
            continue;
        }
        done.append(&file);
        unreadable += file.unreadable;
    }
    out.setAside = !unreadable.isEmpty() && appendSynced(setAsidePath(databasePath), unreadable, syncToDisk);
    for (const TakenFile *file : std::as_const(done)) {
        const QByteArray rest = (out.setAside ? QByteArray() : file->unreadable) + file->keptTail;
        if (!rest.trimmed().isEmpty() && !appendSynced(path, rest, syncToDisk)) {
            out.fileKept = true;
            continue;
        }
        if (!QFile::remove(file->path))
            out.fileKept = out.fileKept || heldRecords;
    }
}

} // namespace

PendingWrite writePendingSends(db::Connection &connection)
{
    PendingWrite out;
    if (!connection.isOpen())
        return out;
    const QString path = pendingSendsPath(connection.path());
    out.file = path;
    const QFileInfo live(path);
    if (live.exists() && live.size() > kMaxPendingBytes) {
        // Not what this program writes: left for a person to look at.
        out.status = PendingWrite::Status::Failed;
        out.reason = PendingWrite::Reason::TooLarge;
        return out;
    }

    // Every workstation appends to the file by its name, so the file is moved to a name of this
    // take's own before it is read: a record appended afterwards makes a new file, left for the
    // next start. What an interrupted take left under such a name goes first.
    const files::TakeNames names(path, pendingTakeMarker());
    bool failed = false;
    QList<TakenFile> taken = takeFiles(names, path, live, &failed);
    // One that could not be taken stays where it is for the next start; the user hears of it
    // when nothing else could be written either.
    if (failed && taken.isEmpty()) {
        out.status = PendingWrite::Status::Failed;
        out.reason = PendingWrite::Reason::CannotRead;
        return out;
    }

    const QList<SendRecord> records = readRecords(taken, out);
    if (!records.isEmpty()) {
        const db::Result r = writeRecords(connection, records, out);
        if (!r.ok()) {
            out.status = PendingWrite::Status::Failed;
            out.reason = r.status == db::Status::Busy ? PendingWrite::Reason::Busy : PendingWrite::Reason::DatabaseError;
            // Batches committed before the failure are in `Historial`, marked: only the rest waits.
            out.waiting = int(records.size()) - out.written - out.alreadyThere;
            out.error = r.error;
            // Back under the file's own name when no send has made a new one meanwhile; else it
            // waits under its own name, read first at the next start.
            for (const TakenFile &file : std::as_const(taken))
                files::moveWithoutReplacing(file.path, path);
            return out;
        }
    }
    out.status = records.isEmpty() && out.unreadable == 0 ? PendingWrite::Status::Nothing
                                                          : PendingWrite::Status::Written;

    // Where the lines that are not records cannot be set aside they stay with the records still
    // waiting, as does a last line cut short.
    releaseFiles(taken, path, connection.path(), !records.isEmpty(), out);
    return out;
}

QString pendingWriteTitle()
{
    return QStringLiteral("Envíos pendientes de guardar");
}

QString pendingWriteReport(const PendingWrite &w)
{
    const QString file = QDir::toNativeSeparators(w.file);
    const QString desktop = brand::brandName() + QStringLiteral(" Desktop");
    QStringList parts;
    switch (w.reason) {
    case PendingWrite::Reason::TooLarge:
        parts << QStringLiteral("El archivo de envíos pendientes %1 supera el tamaño máximo de %2 MB y no se ha leído; "
                                "no se ha modificado. Revíselo o avise a su proveedor.")
                     .arg(file)
                     .arg(kMaxPendingBytes / (1024 * 1024));
        break;
    case PendingWrite::Reason::CannotRead:
        parts << QStringLiteral("No se ha podido leer el archivo de envíos pendientes %1 (no hay permiso o lo usa otro "
                                "programa). Los envíos que guarda siguen pendientes y se guardarán en el historial en "
                                "un próximo inicio de %2.")
                     .arg(file, desktop);
        break;
    case PendingWrite::Reason::Busy:
    case PendingWrite::Reason::DatabaseError:
        // Batches written before the database refused are kept, and said.
        if (w.written > 0)
            parts << count(w.written, "Se ha guardado en el historial 1 envío cobrado que estaba pendiente.",
                           "Se han guardado en el historial %1 envíos cobrados que estaban pendientes.");
        parts << count(w.waiting, "1 envío cobrado sigue pendiente de guardar en el historial",
                       "%1 envíos cobrados siguen pendientes de guardar en el historial")
                + (w.reason == PendingWrite::Reason::Busy
                       ? QStringLiteral(": la base de datos está ocupada por otro puesto.")
                       : QStringLiteral(": la base de datos no ha permitido guardarlos."))
                + QStringLiteral(" Se conservan en el archivo %1 y se guardarán la próxima vez que inicie %2.")
                      .arg(file, desktop);
        break;
    case PendingWrite::Reason::None:
        if (w.written > 0)
            parts << count(w.written, "Se ha guardado en el historial 1 envío cobrado que estaba pendiente.",
                           "Se han guardado en el historial %1 envíos cobrados que estaban pendientes.");
        if (w.alreadyThere > 0)
            parts << count(w.alreadyThere, "1 envío pendiente ya estaba en el historial y no se ha repetido.",
                           "%1 envíos pendientes ya estaban en el historial y no se han repetido.");
        if (w.fileKept)
            parts << QStringLiteral("No se ha podido vaciar el archivo %1 (carpeta sin permiso de escritura o archivo en "
                                    "uso); sus envíos ya están en el historial y no se volverán a guardar.")
                         .arg(file);
        break;
    }
    if (w.unreadable > 0) {
        parts << count(w.unreadable, "1 línea del archivo %2 no es un envío legible",
                       "%1 líneas del archivo %2 no son envíos legibles")
                         .arg(file)
                + (w.setAside ? QStringLiteral(": se ha apartado en %1 para su revisión.")
                                    .arg(QDir::toNativeSeparators(setAsidePath(w.file)))
                              : QStringLiteral(": se conserva en el archivo para su revisión."));
    }
    if (w.incompleteTail)
        parts << QStringLiteral("La última línea del archivo %1 está incompleta y se conserva en él para su revisión.")
                     .arg(file);
    return parts.join(QLatin1Char(' '));
}

} // namespace recording
