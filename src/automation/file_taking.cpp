#include "automation/file_taking.h"

#include "platform/files/durable_write.h"
#include "platform/files/file_state.h"
#include "platform/files/moving.h"
#include "platform/files/take_names.h"

#include <QFile>
#include <QFileInfo>

#include <optional>
#include <utility>

namespace automation {
namespace {

const QString kMarker = QStringLiteral("en_envio");

// Takes back what appendToCopy() added: those lines are not this take's to send. A copy the append
// created goes again, so a failed take leaves nothing new behind.
void undoCopy(const QString &path, qint64 sizeBefore)
{
    if (sizeBefore == 0)
        QFile::remove(path);
    else
        QFile(path).resize(sizeBefore);
}

// Appends the lines read to the copy; false, with the copy as it was, when they could not be
// written whole.
bool appendToCopy(const QString &path, const QByteArray &bytes, qint64 *sizeBefore)
{
    QFile copy(path);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    *sizeBefore = copy.size();
    // The copy is the user's record of what was sent: a short write, a failed flush or a failed
    // sync (a full disk) undoes the append rather than pass for success.
    if (copy.write(bytes) == bytes.size() && copy.flush() && files::syncDescriptor(copy.handle()) == 0)
        return true;
    // Closed first: a QFile that keeps a write error refuses to remove or resize its file.
    copy.close();
    undoCopy(path, *sizeBefore);
    return false;
}

} // namespace

QString takingPathFor(const QString &file)
{
    return QFileInfo(file).absoluteFilePath() + QLatin1Char('.') + kMarker;
}

bool hasFileToTake(const QString &file)
{
    return !file.isEmpty() && (QFileInfo::exists(file) || !files::TakeNames(file, kMarker).leftovers().isEmpty());
}

FileTaker::FileTaker() = default;

FileTake FileTaker::take(const QString &file, const QString &separator, const QDateTime &now)
{
    FileTake take;
    take.copyPath = copyPathFor(file, now);
    files::SharedTake shared(file, kMarker);
    shared.setWriterCheck(m_writers);
    shared.setClock(m_clock);
    shared.setLongRest(m_longRest);

    // When no file has lines to read: the most telling of the waits (a writer seen, then the
    // quiet period, then a file kept), and when the soonest quiet period may be over.
    TakeStatus waiting = TakeStatus::Gone;
    std::chrono::milliseconds wait = std::chrono::milliseconds::max();
    auto note = [&](TakeStatus status, std::chrono::milliseconds until) {
        waiting = std::min(waiting, status);
        if (status == TakeStatus::Resting)
            wait = std::min(wait, until);
    };

    for (const QString &candidate : shared.candidates()) {
        files::TakenFile taken;
        switch (shared.take(candidate, &taken)) {
        case files::SharedTake::Claim::Gone:
            continue;
        case files::SharedTake::Claim::Idle:
            // All of it handled at an earlier check and unchanged since: it goes once it has
            // rested long, never at the check that read it.
            if (!shared.removeIfDone(taken))
                note(TakeStatus::Kept, shared.longRestLeft(taken));
            continue;
        case files::SharedTake::Claim::Failed:
            take.leftOver = candidate != file;
            take.takenPath = candidate;
            take.status = TakeStatus::Unreadable;
            return take;
        case files::SharedTake::Claim::Taken:
            break;
        }
        take.leftOver = candidate != file;
        take.takenPath = taken.path;

        // A program that opened the file before the move writes on into it until it closes it, and
        // may write what it held back only then: the quiet period starts once it has let go.
        if (taken.held) {
            m_rest.forget(taken.state);
            shared.recordLook(taken);
            note(TakeStatus::BeingWritten, std::chrono::milliseconds::max());
            continue;
        }
        const qint64 from = taken.progress.done;
        if (from >= taken.state.size) {
            // All of it handled (queued or logged at an earlier check): it goes once it has rested
            // long, never at the check that read it.
            shared.recordLook(taken);
            if (!shared.removeIfDone(taken))
                note(TakeStatus::Kept, shared.longRestLeft(taken));
            continue;
        }
        const files::RestWatch::Verdict rest = m_rest.look(taken.state);
        if (!rest.rested) {
            shared.recordLook(taken);
            note(TakeStatus::Resting, rest.wait);
            continue;
        }

        const std::optional<QByteArray> bytes = files::readPiece(taken.path, from, kMaxLineBytes);
        if (!bytes) {
            take.status = TakeStatus::Unreadable;
            return take;
        }
        const bool toTheEnd = from + bytes->size() == taken.state.size;
        const bool restedLong = toTheEnd && shared.restedLong(taken);
        const qint64 end = files::wholeLinesEnd(*bytes, restedLong);
        // Opened since the first look (through another name of the file): it may still write, and a
        // last line counted whole because the file had rested must still be the file's last.
        const files::TakenFile before = taken;
        if (!shared.look(taken)) {
            continue; // another workstation moved it on
        }
        if (taken.held || (restedLong && !(taken.state == before.state))) {
            m_rest.forget(taken.state);
            shared.recordLook(taken);
            note(TakeStatus::BeingWritten, std::chrono::milliseconds::max());
            continue;
        }
        if (end == 0) {
            if (bytes->size() >= kMaxLineBytes) {
                take.status = TakeStatus::LineTooLong;
                return take;
            }
            // A last line not yet finished: a writer may still be at it, until the file has rested
            // long.
            shared.recordLook(taken);
            note(TakeStatus::Kept, shared.longRestLeft(taken));
            continue;
        }

        // The copy is written from the bytes read, so it records exactly what is sent; then the
        // lines are recorded as this take's in the file's name, and only then queued.
        const QByteArray piece = bytes->left(end);
        qint64 copySize = 0;
        if (!appendToCopy(take.copyPath, piece, &copySize)) {
            take.status = TakeStatus::NotCopied;
            return take;
        }
        files::TakeProgress progress = taken.progress;
        progress.done = from + end;
        if (!shared.record(taken, progress)) {
            undoCopy(take.copyPath, copySize);
            if (!files::fileState(taken.path))
                continue; // moved on: the lines are the other workstation's
            take.status = TakeStatus::NotRecorded;
            return take;
        }
        take.takenPath = taken.path;
        take.reading = groupByMessage(fileLines(piece), separator);
        take.status = TakeStatus::Taken;
        take.more = progress.done < taken.state.size;
        return take;
    }
    take.status = waiting;
    take.wait = waiting == TakeStatus::Resting ? wait : std::chrono::milliseconds(0);
    return take;
}

QString takeErrorText(const FileTake &take, const QString &file)
{
    const QString retryNote = QStringLiteral(" Se volverá a intentar en la próxima comprobación.");
    switch (take.status) {
    case TakeStatus::Taken:
    case TakeStatus::Resting:
    case TakeStatus::Kept:
    case TakeStatus::Gone:
        return {};
    case TakeStatus::Unreadable:
        return QStringLiteral("No se ha podido leer el archivo de envíos ")
               + (take.leftOver ? take.takenPath : file) + QStringLiteral(". No se ha enviado nada.") + retryNote;
    case TakeStatus::NotCopied:
        return QStringLiteral("No se ha podido guardar la copia ") + take.copyPath + QStringLiteral(". El archivo ")
               + file + QStringLiteral(" se deja apartado como ") + take.takenPath
               + QStringLiteral(" y no se ha enviado nada.") + retryNote;
    case TakeStatus::BeingWritten:
        return QStringLiteral("Otro programa sigue escribiendo en el archivo ") + file
               + QStringLiteral(", apartado como ") + take.takenPath + QStringLiteral(". No se ha enviado nada todavía.")
               + retryNote;
    case TakeStatus::NotRecorded:
        return QStringLiteral("No se ha podido anotar lo leído en el archivo ") + take.takenPath
               + QStringLiteral(" (carpeta sin permiso de escritura). No se ha enviado nada, para no repetir los envíos.")
               + retryNote;
    case TakeStatus::LineTooLong:
        return QStringLiteral("El archivo de envíos ") + take.takenPath
               + QStringLiteral(" tiene una línea de más de %1 KB; no se ha enviado nada de ella ni de lo que la sigue. "
                                "Corrija el archivo: se deja en su sitio.")
                     .arg(kMaxLineBytes / 1024);
    }
    return {};
}

} // namespace automation
