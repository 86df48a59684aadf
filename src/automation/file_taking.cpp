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

std::optional<QByteArray> readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

// Every write, the sync and the close are checked and the copy read back before it takes its name:
// a copy a full disk left empty or cut short never lets the file it records go.
bool writeCopy(const QString &path, const QByteArray &bytes)
{
    return files::writeDurably(path, bytes).isEmpty();
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

FileTaker::FileTaker()
{
    setWriterCheck({});
    setRemover({});
}

void FileTaker::setRemover(std::function<bool(const QString &)> remove)
{
    m_remove = remove ? std::move(remove) : [](const QString &path) { return QFile::remove(path); };
}

void FileTaker::setWriterCheck(files::WriterCheck check)
{
    m_writers = check ? std::move(check) : files::WriterCheck([](const QString &path) {
        return files::heldOpenForWriting(path);
    });
}

// The file this take reads, under a name of its own: the one this taker moved aside at an
// earlier check, else one another take left (oldest first), else the watched file. Empty, with
// the status set, when there is none to be had.
QString FileTaker::ownFile(const QString &file, FileTake &take)
{
    const files::TakeNames names(file, kMarker);
    // Only while the settings still name the file it was moved from.
    if (!m_current.isEmpty() && m_currentBase == names.base() && files::fileState(m_current)) {
        take.leftOver = true;
        return m_current;
    }
    m_current.clear();
    m_currentBase = names.base();
    // Moved on to a name of this take's own before anything is read: of two workstations only one
    // gets it, and it is theirs alone to delete.
    for (const QString &left : names.leftovers()) {
        const QString mine = names.fresh();
        const files::MoveResult moved = files::moveWithoutReplacing(left, mine);
        if (moved == files::MoveResult::Moved) {
            take.leftOver = true;
            return m_current = mine;
        }
        if (moved != files::MoveResult::SourceGone) {
            take.leftOver = true;
            take.takenPath = left;
            take.status = TakeStatus::Unreadable;
            return {};
        }
    }
    const QFileInfo watched(file);
    if (!watched.exists()) {
        take.status = TakeStatus::Gone;
        return {};
    }
    const QString mine = names.fresh();
    switch (watched.isFile() ? files::moveWithoutReplacing(file, mine) : files::MoveResult::Failed) {
    case files::MoveResult::Moved:
        return m_current = mine;
    case files::MoveResult::SourceGone:
        take.status = TakeStatus::Gone;
        return {};
    case files::MoveResult::TargetExists:
    case files::MoveResult::Failed:
        break;
    }
    take.status = TakeStatus::Unreadable;
    return {};
}

// Writers are asked about first, then the file looked at: a writer that let go in between has
// left its lines where the look sees them.
std::optional<FileTaker::Look> FileTaker::lookAt(const QString &own, FileTake &take)
{
    const bool held = m_writers(own);
    const std::optional<files::FileState> state = files::fileState(own);
    if (!state) {
        // Another workstation moved it on.
        m_current.clear();
        take.status = TakeStatus::Gone;
        return std::nullopt;
    }
    return Look{held, *state};
}

FileTake FileTaker::take(const QString &file, const QString &separator, const QDateTime &now)
{
    FileTake take;
    take.copyPath = copyPathFor(file, now);
    const QString own = ownFile(file, take);
    if (own.isEmpty())
        return take;
    take.takenPath = own;

    // A program that opened the file before the move writes on into it until it closes it, and
    // may write what it held back only then: the quiet period starts once it has let go.
    const std::optional<Look> before = lookAt(own, take);
    if (!before)
        return take;
    if (before->held) {
        m_rest.forget(before->state);
        take.status = TakeStatus::BeingWritten;
        return take;
    }
    const files::RestWatch::Verdict rest = m_rest.look(before->state);
    if (!rest.rested) {
        take.status = TakeStatus::Resting;
        take.wait = rest.wait;
        return take;
    }

    const std::optional<QByteArray> bytes = readAll(own);
    if (!bytes) {
        take.status = TakeStatus::Unreadable;
        return take;
    }
    // Opened since the first look (through another name of the file): it may still write, so the
    // file is read whole later. Written while read: the same.
    const std::optional<Look> after = lookAt(own, take);
    if (!after)
        return take;
    if (after->held || !(after->state == before->state) || after->state.size != bytes->size()) {
        m_rest.forget(after->state);
        take.status = TakeStatus::BeingWritten;
        return take;
    }

    // The copy is written from the bytes read, so it records exactly what is sent.
    const bool hadCopy = QFileInfo::exists(take.copyPath);
    if (!writeCopy(take.copyPath, *bytes)) {
        take.status = TakeStatus::NotCopied;
        return take;
    }
    const std::optional<files::FileState> copy = files::fileState(take.copyPath);
    if (!m_remove(own)) {
        // Sending now would send these lines twice: at the next check, or by the workstation that
        // moved the file on meanwhile. A copy of this minute's earlier batch is a record of sends
        // made, and so is one another workstation wrote since; only this take's fresh one goes.
        const std::optional<files::FileState> copyNow = files::fileState(take.copyPath);
        if (!hadCopy && copy && copyNow && *copy == *copyNow)
            QFile::remove(take.copyPath);
        const bool movedOn = !files::fileState(own);
        if (movedOn)
            m_current.clear();
        take.status = movedOn ? TakeStatus::Gone : TakeStatus::NotDeleted;
        return take;
    }
    m_rest.forget(before->state);
    m_current.clear();

    take.reading = groupByMessage(fileLines(*bytes), separator);
    take.status = TakeStatus::Taken;
    return take;
}

QString takeErrorText(const FileTake &take, const QString &file)
{
    const QString retryNote = QStringLiteral(" Se volverá a intentar en la próxima comprobación.");
    switch (take.status) {
    case TakeStatus::Taken:
    case TakeStatus::Resting:
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
    case TakeStatus::NotDeleted:
        return QStringLiteral("No se ha podido borrar el archivo ") + take.takenPath
               + QStringLiteral(" tras copiarlo. No se ha enviado nada, para no repetir los envíos.") + retryNote;
    }
    return {};
}

} // namespace automation
