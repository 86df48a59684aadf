#include "platform/files/shared_take.h"

#include "platform/files/moving.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <utility>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace files {
namespace {

constexpr QChar kProgressMark = QLatin1Char('~');
constexpr int kProgressFields = 6;

QString progressText(const TakeProgress &p)
{
    const qint64 fields[kProgressFields] = {p.done, p.seenSize, p.seenModifiedNs, p.seenAtMs, p.asideFrom, p.asideUpTo};
    QStringList parts;
    for (const qint64 field : fields)
        parts.append(QString::number(field));
    return parts.join(QLatin1Char('.'));
}

// Pushes the folder's entries down to the disk, so that a name just recorded survives a power cut.
void syncFolder(const QString &path)
{
#ifndef Q_OS_WIN
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
#else
    (void)path;
#endif
}

} // namespace

// A name of this take's own for the file at `path`: an earlier take's name keeps its time, so that
// files are still taken in the order they were first moved; anything else gets a fresh one.
QString SharedTake::ownName(const QString &path, const TakeProgress &progress) const
{
    const QString prefix = m_names.base() + QLatin1Char('-');
    const QString earlier = QFileInfo(path).absoluteFilePath();
    QString name = m_names.fresh();
    if (earlier.startsWith(prefix)) {
        const qsizetype stampEnd = earlier.indexOf(QLatin1Char('-'), prefix.size());
        const qsizetype freshStampEnd = name.indexOf(QLatin1Char('-'), prefix.size());
        if (stampEnd > prefix.size() && freshStampEnd > 0)
            name = earlier.left(stampEnd) + name.mid(freshStampEnd);
    }
    return name + kProgressMark + progressText(progress);
}

TakeProgress progressOf(const QString &path)
{
    TakeProgress p;
    const QString name = QFileInfo(path).fileName();
    const qsizetype mark = name.lastIndexOf(kProgressMark);
    if (mark < 0)
        return p;
    const QStringList parts = name.mid(mark + 1).split(QLatin1Char('.'));
    if (parts.size() != kProgressFields)
        return p;
    qint64 fields[kProgressFields] = {};
    for (int i = 0; i < kProgressFields; ++i) {
        bool ok = false;
        fields[i] = parts.at(i).toLongLong(&ok);
        if (!ok)
            return p;
    }
    // A name edited by hand that makes no sense is handled from the start.
    if (fields[0] < 0 || (fields[4] >= 0 && fields[5] < fields[0]))
        return p;
    p = {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
    return p;
}

SharedTake::SharedTake(const QString &file, const QString &marker) : m_names(file, marker), m_file(file)
{
    setWriterCheck({});
    setClock({});
}

void SharedTake::setWriterCheck(WriterCheck check)
{
    m_writers = check ? std::move(check) : WriterCheck([](const QString &path) { return heldOpenForWriting(path); });
}

void SharedTake::setClock(WallClock clock)
{
    m_clock = clock ? std::move(clock) : WallClock([] { return QDateTime::currentMSecsSinceEpoch(); });
}

QStringList SharedTake::candidates() const
{
    QStringList paths = m_names.leftovers();
    if (QFileInfo::exists(m_file))
        paths.append(m_file);
    return paths;
}

SharedTake::Claim SharedTake::take(const QString &from, TakenFile *taken)
{
    const QFileInfo info(from);
    if (!info.exists())
        return Claim::Gone;
    if (!info.isFile())
        return Claim::Failed;
    const TakeProgress progress = progressOf(from);
    if (from != m_file) {
        // Only the file's look, no search for writers: an idle file is left as it is, and one is
        // sought before it is removed.
        const std::optional<FileState> state = fileState(from);
        if (!state)
            return Claim::Gone;
        if (progress.asideFrom < 0 && state->size <= progress.done && state->size == progress.seenSize
            && state->modifiedNs == progress.seenModifiedNs) {
            taken->path = from;
            taken->progress = progress;
            taken->state = *state;
            taken->held = false;
            return Claim::Idle;
        }
    }
    // A fresh name each time, so the move never meets a name taken already.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString own = ownName(from, progress);
        switch (moveWithoutReplacing(from, own)) {
        case MoveResult::Moved:
            taken->path = own;
            taken->progress = progress;
            return look(*taken) ? Claim::Taken : Claim::Gone;
        case MoveResult::SourceGone:
            return Claim::Gone;
        case MoveResult::TargetExists:
            continue;
        case MoveResult::Failed:
            return Claim::Failed;
        }
    }
    return Claim::Failed;
}

bool SharedTake::look(TakenFile &taken) const
{
    const bool held = m_writers(taken.path);
    const std::optional<FileState> state = fileState(taken.path);
    if (!state)
        return false;
    taken.state = *state;
    taken.held = held;
    TakeProgress &p = taken.progress;
    if (held || p.seenSize != state->size || p.seenModifiedNs != state->modifiedNs) {
        // A writer seen may still write what it holds back when it lets go: the rest counts from
        // the first look after that.
        p.seenSize = held ? -1 : state->size;
        p.seenModifiedNs = state->modifiedNs;
        p.seenAtMs = m_clock();
    }
    return true;
}

bool SharedTake::restedLong(const TakenFile &taken) const
{
    return longRestLeft(taken) == std::chrono::milliseconds(0);
}

std::chrono::milliseconds SharedTake::longRestLeft(const TakenFile &taken) const
{
    const TakeProgress &p = taken.progress;
    if (taken.held || p.seenSize != taken.state.size || p.seenModifiedNs != taken.state.modifiedNs)
        return m_longRest;
    // A clock set back meanwhile counts as no time passed.
    const qint64 still = std::max<qint64>(0, m_clock() - p.seenAtMs);
    return std::max(std::chrono::milliseconds(0), m_longRest - std::chrono::milliseconds(still));
}

bool SharedTake::record(TakenFile &taken, const TakeProgress &progress)
{
    if (progressOf(taken.path) == progress) {
        taken.progress = progress;
        return fileState(taken.path).has_value();
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString own = ownName(taken.path, progress);
        switch (moveWithoutReplacing(taken.path, own)) {
        case MoveResult::Moved:
            taken.path = own;
            taken.progress = progress;
            syncFolder(own);
            return true;
        case MoveResult::TargetExists:
            continue;
        case MoveResult::SourceGone:
        case MoveResult::Failed:
            return false;
        }
    }
    return false;
}

bool SharedTake::recordLook(TakenFile &taken)
{
    if (progressOf(taken.path) == taken.progress)
        return true;
    const TakeProgress progress = taken.progress;
    return record(taken, progress);
}

bool SharedTake::removeIfDone(TakenFile &taken) const
{
    if (taken.progress.done < taken.state.size || taken.progress.asideFrom >= 0 || !restedLong(taken))
        return false;
    // Writers first, then the look: anything written since shows.
    if (m_writers(taken.path))
        return false;
    const std::optional<FileState> now = fileState(taken.path);
    if (!now || !(*now == taken.state))
        return false;
    return QFile::remove(taken.path);
}

std::optional<QByteArray> readPiece(const QString &path, qint64 from, qint64 most)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || (from > 0 && !file.seek(from)))
        return std::nullopt;
    QByteArray bytes = file.read(std::max<qint64>(0, most));
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

qint64 wholeLinesEnd(const QByteArray &bytes, bool lastLineWhole)
{
    if (lastLineWhole)
        return bytes.size();
    // CR LF, LF or a lone CR ends a line (the LF of a CR LF cut apart makes an empty line, which
    // says nothing).
    return std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r')) + 1;
}

} // namespace files
