#include "recording/pending_write.h"

#include "brand/brand.h"
#include "platform/files/file_state.h"
#include "platform/files/moving.h"
#include "platform/files/shared_take.h"
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

// One file this start took, under a name of its own, and what of it this start read.
struct TakenPiece {
    files::TakenFile file;
    qint64 from = 0;         // where this start's reading began (what earlier starts handled)
    qint64 end = 0;          // where it ended: whole lines only
    QByteArray unreadable;   // lines of [from, end) that are not records
    bool read = false;
};

// The take of the pending file with the start's own clock and writer check.
files::SharedTake pendingTake(const QString &path, const PendingTakeOptions &how)
{
    files::SharedTake take(path, pendingTakeMarker());
    take.setWriterCheck(how.writers);
    take.setClock(how.clock);
    take.setLongRest(how.longRest);
    return take;
}

// Takes what earlier takes left (kept files, files of interrupted starts) and then the file
// itself, each under a name of this take's own. `failed` when one could not be taken: it stays
// where it was. A leftover over the size limit is not read, as the file itself would not be.
QList<TakenPiece> takeFiles(files::SharedTake &take, PendingWrite &out, bool *failed)
{
    QList<TakenPiece> taken;
    for (const QString &candidate : take.candidates()) {
        if (QFileInfo(candidate).size() > kMaxPendingBytes) {
            out.leftOverTooLarge = true;
            continue;
        }
        TakenPiece piece;
        switch (take.take(candidate, &piece.file)) {
        case files::SharedTake::Claim::Taken:
        case files::SharedTake::Claim::Idle:
            piece.from = piece.end = piece.file.progress.done;
            taken.append(piece);
            break;
        case files::SharedTake::Claim::Gone:
            break;
        case files::SharedTake::Claim::Failed:
            *failed = true;
            break;
        }
    }
    return taken;
}

// The records of what is new in the taken files, each once, reading `budget` bytes in all at most
// (what is beyond waits for the next start). Lines that are not records are counted and kept
// with their piece. A last line without its end counts only when it is a whole record already,
// or once the file has rested long with no writer: until then a writer may still be finishing it.
QList<SendRecord> readRecords(const files::SharedTake &take, QList<TakenPiece> &taken, qint64 budget,
                              PendingWrite &out)
{
    QList<SendRecord> records;
    QSet<QString> seen;
    for (TakenPiece &piece : taken) {
        const files::TakeProgress &p = piece.file.progress;
        // Lines an interrupted start was setting aside are settled first, on their own.
        const qint64 upTo = p.asideFrom >= 0 ? std::min(p.asideUpTo, piece.file.state.size) : piece.file.state.size;
        const qint64 available = upTo - piece.from;
        if (available <= 0)
            continue;
        if (budget <= 0) {
            out.moreWaiting = true;
            continue;
        }
        const qint64 most = std::min(available, budget);
        std::optional<QByteArray> bytes = files::readPiece(piece.file.path, piece.from, most);
        if (!bytes)
            continue; // stays as it is for the next start
        const bool toTheEnd = piece.from + bytes->size() == piece.file.state.size;
        out.moreWaiting = out.moreWaiting || most < available;
        qint64 end = files::wholeLinesEnd(*bytes, toTheEnd && take.restedLong(piece.file));
        const QByteArray tail = bytes->mid(end);
        if (!tail.trimmed().isEmpty() && toTheEnd) {
            if (parsePendingLine(tail))
                end = bytes->size();
            else
                out.incompleteTail = true;
        }
        budget -= end;
        piece.end = piece.from + end;
        piece.read = true;
        for (const QByteArray &line : bytes->left(end).split('\n')) {
            if (line.trimmed().isEmpty())
                continue;
            if (std::optional<SendRecord> record = parsePendingLine(line)) {
                if (!seen.contains(record->recordId)) {
                    seen.insert(record->recordId);
                    records.append(*record);
                }
            } else {
                piece.unreadable += line + '\n';
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

// Whether `chunk` was appended to the set-aside file at `path` at or after `from` (an interrupted
// start may have done it before it could record so).
bool alreadySetAside(const QString &path, qint64 from, const QByteArray &chunk)
{
    const std::optional<QByteArray> after = files::readPiece(path, from, 2 * kMaxPendingBytes);
    return after && after->contains(chunk);
}

// Sets the piece's lines that are not records aside for a person, once: the range is recorded in
// the file's name before the append, so a start interrupted in between finds the append and does
// not make it again. False when the lines stay in the file.
bool setAsideOnce(files::SharedTake &take, TakenPiece &piece, const QString &asidePath, bool *movedOn)
{
    files::TakeProgress progress = piece.file.progress;
    if (progress.asideFrom < 0) {
        progress.asideFrom = QFileInfo(asidePath).size();
        progress.asideUpTo = piece.end;
        if (!take.record(piece.file, progress)) {
            *movedOn = !files::fileState(piece.file.path).has_value();
            return false;
        }
    } else if (alreadySetAside(asidePath, progress.asideFrom, piece.unreadable)) {
        return true;
    }
    return appendSynced(asidePath, piece.unreadable, syncToDisk);
}

// Records in each taken file's name how far it has been handled, setting its lines that are not
// records aside first, and removes the files a later start finds handled and long at rest. A file
// is never removed by the start that read something from it: a writer that opened it before the
// move may still write into it, and the next start that finds it at rest writes that too.
void releaseFiles(files::SharedTake &take, QList<TakenPiece> &taken, const QString &databasePath, bool heldRecords,
                  PendingWrite &out)
{
    const QString asidePath = setAsidePath(databasePath);
    bool everySetAside = true;
    for (TakenPiece &piece : taken) {
        bool movedOn = false;
        bool recorded = true;
        bool asideFailed = false;
        if (!piece.unreadable.isEmpty()) {
            recorded = setAsideOnce(take, piece, asidePath, &movedOn);
            asideFailed = !recorded && !movedOn;
            everySetAside = everySetAside && recorded;
        }
        if (recorded) {
            files::TakeProgress progress = piece.file.progress;
            progress.done = piece.end;
            progress.asideFrom = -1;
            progress.asideUpTo = 0;
            recorded = take.record(piece.file, progress);
            movedOn = !recorded && !files::fileState(piece.file.path).has_value();
        }
        if (movedOn) {
            // Another workstation's start moved the file on meanwhile: what was written here is
            // marked as written, and that start writes nothing of it again.
            out.takenByOther = out.takenByOther || heldRecords;
            continue;
        }
        if (!recorded) {
            // Lines that could not be set aside stay in the file, and the report says so; else
            // the note of what was written is what failed.
            if (!asideFailed)
                out.fileKept = out.fileKept || heldRecords;
            continue;
        }
        if (!piece.read || piece.end == piece.from)
            take.removeIfDone(piece.file);
    }
    out.setAside = out.unreadable > 0 && everySetAside;
}

} // namespace

PendingWrite writePendingSends(db::Connection &connection, const PendingTakeOptions &how)
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
    // next start. What earlier takes left goes first.
    files::SharedTake take = pendingTake(path, how);
    bool failed = false;
    QList<TakenPiece> taken = takeFiles(take, out, &failed);
    // One that could not be taken stays where it is for the next start; the user hears of it
    // when nothing else could be written either.
    if (failed && taken.isEmpty()) {
        out.status = PendingWrite::Status::Failed;
        out.reason = PendingWrite::Reason::CannotRead;
        return out;
    }

    const QList<SendRecord> records = readRecords(take, taken, how.budget, out);
    if (!records.isEmpty()) {
        const db::Result r = writeRecords(connection, records, out);
        if (!r.ok()) {
            out.status = PendingWrite::Status::Failed;
            out.reason = r.status == db::Status::Busy ? PendingWrite::Reason::Busy : PendingWrite::Reason::DatabaseError;
            // Batches committed before the failure are in `Historial`, marked: only the rest waits.
            out.waiting = int(records.size()) - out.written - out.alreadyThere;
            out.error = r.error;
            // A file nothing was written from yet goes back under the file's own name when no
            // send has made a new one meanwhile; the others wait under their names, what they
            // record unchanged, read first at the next start.
            for (const TakenPiece &piece : std::as_const(taken)) {
                const files::TakeProgress &p = piece.file.progress;
                if (p.done == 0 && p.asideFrom < 0)
                    files::moveWithoutReplacing(piece.file.path, path);
            }
            return out;
        }
    }
    out.status = records.isEmpty() && out.unreadable == 0 ? PendingWrite::Status::Nothing
                                                          : PendingWrite::Status::Written;
    releaseFiles(take, taken, connection.path(), !records.isEmpty(), out);
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
        if (w.takenByOther)
            parts << QStringLiteral("Otro puesto ha tomado a la vez el archivo %1 para guardar sus envíos; los guardados "
                                    "aquí ya están en el historial y ningún puesto los volverá a guardar.")
                         .arg(file);
        if (w.fileKept)
            parts << QStringLiteral("No se ha podido anotar en el archivo %1 qué envíos se han guardado (carpeta sin "
                                    "permiso de escritura); sus envíos ya están en el historial y no se volverán a "
                                    "guardar.")
                         .arg(file);
        if (w.moreWaiting)
            parts << QStringLiteral("Quedan más envíos pendientes en el archivo %1 de los que se leen en un inicio; se "
                                    "guardarán la próxima vez que inicie %2.")
                         .arg(file, desktop);
        if (w.leftOverTooLarge)
            parts << QStringLiteral("Un archivo de envíos pendientes apartado junto a %1 supera el tamaño máximo de %2 MB "
                                    "y no se ha leído; no se ha modificado. Revíselo o avise a su proveedor.")
                         .arg(file)
                         .arg(kMaxPendingBytes / (1024 * 1024));
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
