#pragma once

#include "platform/files/file_state.h"
#include "platform/files/open_writers.h"
#include "platform/files/take_names.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

// One way to take a file that other programs and other workstations append to (the watched file,
// the pending-sends file): move it to a name of this take's own without replacing anything, look
// for writers, read what is new in it, and record how far it was handled in its own name. The
// file is kept after it is read: a writer that opened it before the move writes into it
// afterwards, and what it writes is read at a later take. It is removed only at a later take that
// finds all of it handled and the file unchanged, with no writer seen, for longer than any writer
// holds it open.
namespace files {

// How long a taken file must have looked the same, with no writer seen, before it is removed or a
// last line without its end counts as finished. A program appends a line in a moment; this is far
// beyond that, with room for a client on another machine whose writes reach a share late.
inline constexpr std::chrono::milliseconds kLongRest{std::chrono::minutes(2)};

// What takes have done with a file, carried in its name so that it survives a crash and passes
// to whichever workstation takes the file next.
struct TakeProgress {
    qint64 done = 0;            // bytes from the start already handled (written, queued, logged)
    qint64 seenSize = -1;       // the look its rest counts from: size, modification time and the
    qint64 seenModifiedNs = 0;  // wall time of that look (ms since the epoch); -1 size: none yet
    qint64 seenAtMs = 0;
    qint64 asideFrom = -1;      // lines of [done, asideUpTo) being set aside; the size the set-aside
    qint64 asideUpTo = 0;       // file had before them (-1: none under way)
    bool operator==(const TakeProgress &) const = default;
};

// What the name of a take's file says was done with it (nothing for a name without a record).
TakeProgress progressOf(const QString &path);

// One file of a take, under a name of this take's own.
struct TakenFile {
    QString path;
    TakeProgress progress;   // as its name says
    FileState state;         // at the last look
    bool held = false;       // a writer this program can see held it at that look
};

class SharedTake final {
public:
    using WallClock = std::function<qint64()>;   // ms since the epoch

    SharedTake(const QString &file, const QString &marker);

    void setWriterCheck(WriterCheck check);
    void setClock(WallClock clock);
    void setLongRest(std::chrono::milliseconds rest) { m_longRest = rest; }

    const TakeNames &names() const { return m_names; }
    qint64 now() const { return m_clock(); }

    // The files to take, in order: those earlier takes left (oldest first), then the file itself
    // when it is there.
    QStringList candidates() const;

    enum class Claim {
        Taken,    // moved to a name of this take's own and looked at
        Idle,     // an earlier take's file with nothing new, looking as its name records: left
                  // under its name (looked at, not moved), so idle files cost no move at every take
        Gone,     // another take moved it first
        Failed    // the system refused, or it is no file: it stays where it was
    };
    // Moves `from` to a name of this take's own, carrying what its name says was done, and looks at
    // it (see look()). An earlier take's file that is Idle is only looked at.
    Claim take(const QString &from, TakenFile *taken);

    // Asks for writers first, then looks at the file: a writer that let go in between has left its
    // lines where the look sees them. The rest starts again at a look that differs from the one
    // it counts from, or that finds a writer. False when the file has been moved on.
    bool look(TakenFile &taken) const;

    // No writer seen and the file as it was for at least the long rest.
    bool restedLong(const TakenFile &taken) const;
    // How long until it may have (zero when it has).
    std::chrono::milliseconds longRestLeft(const TakenFile &taken) const;

    // Records `progress` in the file's name (a move to another name of this take's own). False when
    // another take moved the file on meanwhile: what was read since is then that take's.
    bool record(TakenFile &taken, const TakeProgress &progress);
    // Records the rest's look when it is not yet in the name; false as record().
    bool recordLook(TakenFile &taken);

    // Removes the file when all of it is handled and it has rested long, looking for writers once
    // more just before. True when it is gone.
    bool removeIfDone(TakenFile &taken) const;

private:
    QString ownName(const QString &path, const TakeProgress &progress) const;

    TakeNames m_names;
    QString m_file;
    WriterCheck m_writers;
    WallClock m_clock;
    std::chrono::milliseconds m_longRest = kLongRest;
};

// Bytes [from, from + most) of the file at `path`; nothing when it cannot be read.
std::optional<QByteArray> readPiece(const QString &path, qint64 from, qint64 most);

// Where the whole lines of `bytes` end (just after the last line break; 0 when there is none).
// With `lastLineWhole` a last line without its end counts too.
qint64 wholeLinesEnd(const QByteArray &bytes, bool lastLineWhole);

} // namespace files
