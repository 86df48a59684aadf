#pragma once

#include "platform/ui/shell.h"

#include <QList>

#include <functional>

// A Shell that launches nothing: it keeps what would have been opened or started and answers
// with whatever the test configured.
namespace testing {

class RecordingShell final : public ui::Shell {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };

    RecordingShell() = default;
    RecordingShell(const RecordingShell &) = delete;
    RecordingShell &operator=(const RecordingShell &) = delete;

    void setOpenUrlResult(bool result) { m_openUrlResult = result; }
    void setStartProgramResult(bool result) { m_startResult = result; }
    // Answers for the next starts, in order; once they are used up the fixed result applies.
    // Called with each program as it is started, before the answer is given.
    void setOnStart(std::function<void(const QString &program)> onStart) { m_onStart = std::move(onStart); }
    void queueStartProgramResults(const QList<bool> &results) { m_queuedStarts += results; }

    bool openUrl(const QString &url) override
    {
        m_urls << url;
        return m_openUrlResult;
    }

    bool startProgram(const QString &program, const QStringList &arguments = {}) override
    {
        m_starts << Start{program, arguments};
        if (m_onStart)
            m_onStart(program);
        return m_queuedStarts.isEmpty() ? m_startResult : m_queuedStarts.takeFirst();
    }

    const QStringList &urls() const { return m_urls; }
    const QList<Start> &starts() const { return m_starts; }
    void clear()
    {
        m_urls.clear();
        m_starts.clear();
    }

private:
    QStringList m_urls;
    QList<Start> m_starts;
    bool m_openUrlResult = true;
    bool m_startResult = true;
    QList<bool> m_queuedStarts;
    std::function<void(const QString &)> m_onStart;
};

} // namespace testing
