#include "platform/files/rest_watch.h"

#include <utility>

namespace files {

RestWatch::RestWatch(std::chrono::milliseconds quiet, Clock clock) : m_quiet(quiet)
{
    setClock(std::move(clock));
}

void RestWatch::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); });
}

RestWatch::Verdict RestWatch::look(const FileState &state)
{
    const auto now = m_clock();
    auto it = m_seen.find(key(state));
    if (it == m_seen.end() || !(it->state == state)) {
        // Files gone since their last look are not looked for again.
        if (m_seen.size() > 64)
            m_seen.clear();
        it = m_seen.insert(key(state), {state, now});
    }
    const auto still = std::chrono::duration_cast<std::chrono::milliseconds>(now - it->since);
    if (still >= m_quiet)
        return {true, {}};
    return {false, m_quiet - still};
}

void RestWatch::forget(const FileState &state)
{
    m_seen.remove(key(state));
}

} // namespace files
