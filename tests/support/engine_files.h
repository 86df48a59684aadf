#pragma once

#include <QtGlobal>

#include <memory>

// The database engine's file system as a test sees it. While an EngineFiles lives it is the
// engine's default, so every connection opened meanwhile goes through it: it counts the steps that
// change files on the disk (each write, each sync, each deletion: a commit ends by deleting its
// journal), can kill the process just before one of them (a crash at that very point, for a child
// process of the test), and adds up the waits the engine asks for while another connection holds
// the file, answering each at once.
namespace testing {

class EngineFiles final {
public:
    // `killBefore` n > 0: the process is killed just before its n-th step.
    explicit EngineFiles(int killBefore = 0);
    ~EngineFiles();
    EngineFiles(const EngineFiles &) = delete;
    EngineFiles &operator=(const EngineFiles &) = delete;

    int steps() const { return m_steps; }
    // What the waits asked for add up to, in milliseconds; none was waited.
    qint64 askedWaitMs() const { return m_askedWaitUs / 1000; }

    // Counts the step and kills the process when it is the one to kill before.
    void step();
    void asked(int microseconds) { m_askedWaitUs += microseconds; }

    struct Vfs;     // what the engine is given

private:
    int m_killBefore;
    int m_steps = 0;
    qint64 m_askedWaitUs = 0;
    std::unique_ptr<Vfs> m_vfs;
};

} // namespace testing
