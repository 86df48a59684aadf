#pragma once

#include "platform/files/file_state.h"

#include <QHash>

#include <chrono>
#include <functional>
#include <utility>

// Whether a file has rested: it has looked the same (same file, size and modification time) for a
// quiet period long enough for a writer this program cannot see - another user's program, a
// program on another machine writing through a share, whose client may hold writes back for a
// moment - to have finished. Looks are kept per file between checks, so nobody waits in a loop.
namespace files {

inline constexpr std::chrono::milliseconds kQuietPeriod{5000};

class RestWatch final {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit RestWatch(std::chrono::milliseconds quiet = kQuietPeriod, Clock clock = {});

    struct Verdict {
        bool rested = false;
        std::chrono::milliseconds wait{0};   // when not rested: how long until it may be
    };

    // Takes one look at the file. A look that differs from the last one starts the quiet period
    // again. A file forgotten (a writer was seen holding it, or it is done with) starts it afresh
    // at its next look.
    Verdict look(const FileState &state);
    void forget(const FileState &state);

    void setQuietPeriod(std::chrono::milliseconds quiet) { m_quiet = quiet; }
    void setClock(Clock clock);

private:
    struct Seen {
        FileState state;
        std::chrono::steady_clock::time_point since;
    };
    using Key = std::pair<quint64, quint64>;
    static Key key(const FileState &state) { return {state.device, state.inode}; }

    std::chrono::milliseconds m_quiet;
    Clock m_clock;
    QHash<Key, Seen> m_seen;
};

} // namespace files
