#include "startup/database/pending_sends.h"

#include "platform/files/file_state.h"
#include "platform/files/moving.h"
#include "platform/files/open_writers.h"
#include "platform/files/take_names.h"
#include "brand/brand.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSet>
#include <QStringList>
#include <QUuid>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace startup {

namespace {

QByteArray readBounded(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *ok = false;
        return {};
    }
    *ok = true;
    return file.read(2 * kMaxPendingBytes);
}

// Appends bytes that must survive a power cut once this returns true.
bool appendSynced(const QString &path, const QByteArray &bytes, const FileSync &sync)
{
    QFile out(path);
    if (!out.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    QByteArray data;
    // A last line cut short (a crash, a full disk) must not swallow the next record.
    const qint64 size = out.size();
    char last = '\n';
    if (size > 0 && (!out.seek(size - 1) || !out.getChar(&last)))
        return false;
    if (last != '\n')
        data += '\n';
    data += bytes;
    // One write, so a reader never meets half of it from this side.
    const bool written = out.write(data) == data.size() && out.flush() && (sync ? sync(out) : true);
    out.close();
    return written && out.error() == QFileDevice::NoError;
}

const QString kMarks = QStringLiteral("Pendientes_guardados");

// Names the file is moved to while a start takes it.
const QString kTakeMarker = QStringLiteral("en_lectura");

// Records of the pending file already written are marked in the database itself, in the same
// transaction as their rows: a file that cannot be emptied afterwards never writes them twice.
db::Result ensureMarks(db::Connection &connection)
{
    return connection.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS ") + kMarks
                              + QStringLiteral(" (registro TEXT PRIMARY KEY)"));
}

std::optional<bool> marked(db::Connection &connection, const QString &recordId)
{
    db::Result r;
    const QVariant count = connection.scalar(QStringLiteral("SELECT count(*) FROM ") + kMarks
                                                 + QStringLiteral(" WHERE registro=?1"),
                                             {recordId}, &r);
    if (!r.ok())
        return std::nullopt;
    return count.toLongLong() > 0;
}

db::Result mark(db::Connection &connection, const QString &recordId)
{
    return connection.execute(QStringLiteral("INSERT OR IGNORE INTO ") + kMarks + QStringLiteral(" (registro) VALUES (?1)"),
                              {recordId});
}

QString count(int n, const char *one, const char *many)
{
    return n == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(n);
}

} // namespace

QString pendingSendsPath(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("envios_pendientes.txt"));
}

QString setAsidePath(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("envios_pendientes_no_legibles.txt"));
}

QByteArray pendingLine(const SendRecord &record)
{
    QJsonObject o;
    o.insert(QStringLiteral("registro"), record.recordId);
    o.insert(QStringLiteral("username"), record.username);
    o.insert(QStringLiteral("destinatario"), record.recipients);
    o.insert(QStringLiteral("f_envio"), record.sentAt);
    o.insert(QStringLiteral("f_programada"), record.scheduledAt);
    o.insert(QStringLiteral("mensaje"), record.message);
    o.insert(QStringLiteral("id_web"), record.webId);
    o.insert(QStringLiteral("estado"), record.state);
    o.insert(QStringLiteral("remitente"), record.sender);
    o.insert(QStringLiteral("creditos"), record.credits);
    if (record.birthday)
        o.insert(QStringLiteral("bool_cumple"), QStringLiteral("1"));
    if (record.triedKey > 0)
        o.insert(QStringLiteral("sid"), QString::number(record.triedKey));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<SendRecord> parsePendingLine(QByteArrayView line)
{
    const QByteArray bytes = line.trimmed().toByteArray();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    SendRecord record;
    QString *texts[] = {&record.username, &record.recipients, &record.sentAt, &record.scheduledAt,
                        &record.message,  &record.webId,       &record.state,  &record.sender};
    const char *names[] = {"username", "destinatario", "f_envio", "f_programada",
                           "mensaje",  "id_web",       "estado",  "remitente"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const QJsonValue value = o.value(QLatin1String(names[i]));
        if (!value.isString())
            return std::nullopt;
        *texts[i] = value.toString();
    }
    const QJsonValue credits = o.value(QStringLiteral("creditos"));
    if (!credits.isDouble())
        return std::nullopt;
    record.credits = credits.toDouble();
    record.birthday = o.value(QStringLiteral("bool_cumple")).toString() == QLatin1String("1");
    record.recordId = o.value(QStringLiteral("registro")).toString();
    record.triedKey = std::max<qint64>(0, o.value(QStringLiteral("sid")).toString().toLongLong());
    if (record.recordId.isEmpty()) {
        // Written before records carried an id: the line itself tells it apart.
        record.recordId = QStringLiteral("linea-")
            + QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    }
    // Without its time and recipients a row could neither be shown nor told apart.
    if (record.sentAt.isEmpty() || record.recipients.isEmpty())
        return std::nullopt;
    return record;
}

OsSync platformSync()
{
#ifdef Q_OS_WIN
    return ::_commit;
#else
    return ::fsync;
#endif
}

bool syncThrough(QFileDevice &file, OsSync osSync) { return osSync(file.handle()) == 0; }

bool syncToDisk(QFileDevice &file) { return syncThrough(file, platformSync()); }

bool appendPendingRecords(const QString &file, QList<SendRecord> records, const FileSync &sync)
{
    QByteArray lines;
    for (SendRecord &record : records) {
        if (record.recordId.isEmpty())
            record.recordId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        lines += pendingLine(record) + '\n';
    }
    return !lines.isEmpty() && appendSynced(file, lines, sync);
}

QList<SendRecord> readPendingRecords(const QString &file)
{
    QList<SendRecord> records;
    // What a start has taken and not yet done with waits too.
    QStringList paths = files::TakeNames(file, kTakeMarker).leftovers();
    paths.append(file);
    for (const QString &path : std::as_const(paths)) {
        const QFileInfo info(path);
        if (!info.exists() || info.size() > kMaxPendingBytes)
            continue;
        bool readable = false;
        const QByteArray bytes = readBounded(path, &readable);
        if (!readable)
            continue;
        for (const QByteArray &line : bytes.split('\n')) {
            if (std::optional<SendRecord> record = parsePendingLine(line))
                records.append(*record);
        }
    }
    return records;
}

namespace {

// Whether the row inserted as `sid` in a try whose commit reported failure is there after all.
// Counter keys are never given twice once committed, so that key with this content is this row,
// with or without a gateway number.
std::optional<bool> landed(db::Connection &connection, qint64 sid, const SendRecord &row)
{
    db::Result r;
    const QVariant count = connection.scalar(
        QStringLiteral("SELECT count(*) FROM Historial WHERE sid=?1 AND destinatario=?2 AND f_envio=?3 AND "
                       "id_web=?4 AND mensaje=?5"),
        {sid, row.recipients, row.sentAt, row.webId, row.message}, &r);
    if (!r.ok())
        return std::nullopt;
    return count.toLongLong() > 0;
}

} // namespace

std::optional<bool> sendRecorded(db::Connection &connection, const SendRecord &record)
{
    if (record.triedKey > 0) {
        const std::optional<bool> there = landed(connection, record.triedKey, record);
        if (!there || *there)
            return there;
    }
    // Without the gateway's number two sends of one minute to the same numbers cannot be told
    // apart here: the pending file's marks do it for its records.
    if (record.webId.trimmed().isEmpty())
        return false;
    db::Result r;
    const QVariant count = connection.scalar(
        QStringLiteral("SELECT count(*) FROM Historial WHERE id_web=?1 AND f_envio=?2 AND destinatario=?3"),
        {record.webId, record.sentAt, record.recipients}, &r);
    if (!r.ok())
        return std::nullopt;
    return count.toLongLong() > 0;
}

db::Result insertSendOnce(db::Connection &connection, const SendRecord &record, bool *alreadyThere)
{
    if (alreadyThere)
        *alreadyThere = false;
    const std::optional<bool> recorded = sendRecorded(connection, record);
    if (!recorded)
        return connection.refusal().ok() ? db::Result{db::Status::Error, QStringLiteral("cannot look the send up")}
                                       : connection.refusal();
    if (*recorded) {
        if (alreadyThere)
            *alreadyThere = true;
        return {};
    }
    return connection.execute(
        QStringLiteral("INSERT INTO Historial (username,destinatario,f_envio,f_programada,mensaje,id_web,estado,"
                       "remitente,creditos,bool_cumple) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)"),
        {record.username, record.recipients, record.sentAt, record.scheduledAt, record.message, record.webId,
         record.state, record.sender, record.credits, record.birthday ? QVariant(QStringLiteral("1")) : QVariant()});
}

RecordOutcome recordCharged(db::Connection &connection, const QList<SendRecord> &rows, int attempts,
                            const std::function<void()> &alongside)
{
    RecordOutcome out;
    if (rows.isEmpty())
        return out;
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
                const std::optional<bool> found = landed(connection, triedAs.at(i), rows.at(i));
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
                out.result = insertSendOnce(connection, rows.at(i), &there);
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

namespace {

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
    const files::TakeNames names(path, kTakeMarker);
    QList<TakenFile> taken;
    bool failed = false;
    for (const QString &left : names.leftovers()) {
        if (std::optional<TakenFile> one = takeOne(names, left, &failed))
            taken.append(*one);
    }
    if (live.exists() && !live.isFile())
        failed = true;
    else if (live.exists()) {
        if (std::optional<TakenFile> one = takeOne(names, path, &failed))
            taken.append(*one);
    }
    // One that could not be taken stays where it is for the next start; the user hears of it
    // when nothing else could be written either.
    if (failed && taken.isEmpty()) {
        out.status = PendingWrite::Status::Failed;
        out.reason = PendingWrite::Reason::CannotRead;
        return out;
    }

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

    if (!records.isEmpty()) {
        db::Transaction transaction(connection);
        db::Result r = transaction.isActive() ? ensureMarks(connection) : connection.refusal();
        int written = 0;
        int alreadyThere = 0;
        for (const SendRecord &record : std::as_const(records)) {
            if (!r.ok())
                break;
            const std::optional<bool> done = marked(connection, record.recordId);
            if (!done) {
                r = connection.refusal().ok() ? db::Result{db::Status::Error, QStringLiteral("cannot read the marks")}
                                              : connection.refusal();
                break;
            }
            bool there = *done;
            if (!there)
                r = insertSendOnce(connection, record, &there);
            if (r.ok())
                r = mark(connection, record.recordId);
            if (r.ok())
                ++(there ? alreadyThere : written);
        }
        if (r.ok())
            r = transaction.commit();
        if (!r.ok()) {
            out.status = PendingWrite::Status::Failed;
            out.reason = r.status == db::Status::Busy ? PendingWrite::Reason::Busy : PendingWrite::Reason::DatabaseError;
            out.waiting = int(records.size());
            out.error = r.error;
            // Back under the file's own name when no send has made a new one meanwhile; else it
            // waits under its own name, read first at the next start.
            for (const TakenFile &file : std::as_const(taken))
                files::moveWithoutReplacing(file.path, path);
            return out;
        }
        out.written = written;
        out.alreadyThere = alreadyThere;
    }
    out.status = records.isEmpty() && out.unreadable == 0 ? PendingWrite::Status::Nothing
                                                          : PendingWrite::Status::Written;

    // What is not a record goes beside the file, for a person; where that cannot be written it
    // stays with the records still waiting, as does a last line cut short.
    QByteArray unreadable;
    for (const TakenFile &file : std::as_const(taken))
        unreadable += file.unreadable;
    if (!unreadable.isEmpty())
        out.setAside = appendSynced(setAsidePath(connection.path()), unreadable, syncToDisk);

    for (const TakenFile &file : std::as_const(taken)) {
        if (!doneWith(file)) {
            out.fileKept = out.fileKept || !records.isEmpty();
            continue;
        }
        const QByteArray rest = (out.setAside ? QByteArray() : file.unreadable) + file.keptTail;
        if (!rest.trimmed().isEmpty() && !appendSynced(path, rest, syncToDisk)) {
            out.fileKept = true;
            continue;
        }
        if (!QFile::remove(file.path))
            out.fileKept = out.fileKept || !records.isEmpty();
    }
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

} // namespace startup
