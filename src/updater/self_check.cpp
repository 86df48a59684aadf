#include "updater/self_check.h"

namespace updater {

QString selfCheckArgument()
{
    return QStringLiteral("--self-check");
}

SelfCheck::SelfCheck(QObject *parent) : QObject(parent)
{
    m_limit.setSingleShot(true);
    // Nothing it writes is read, so nothing it writes may fill a pipe and hold it up.
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::started, this, &SelfCheck::onStarted);
    // Queued: a program that cannot be run may be reported from inside start().
    connect(&m_process, &QProcess::errorOccurred, this, &SelfCheck::onErrorOccurred, Qt::QueuedConnection);
    connect(&m_process, &QProcess::finished, this, &SelfCheck::onProcessFinished);
    connect(&m_limit, &QTimer::timeout, this, &SelfCheck::onTimeout);
}

SelfCheck::~SelfCheck()
{
    // A check still running when the updater ends is not left behind.
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void SelfCheck::start(const QString &program, std::chrono::milliseconds limit)
{
    if (m_running)
        return;
    m_running = true;
    m_timedOut = false;
    m_limit.setInterval(limit);
    m_process.setProgram(program);
    m_process.setArguments({selfCheckArgument()});
    m_process.start();
}

void SelfCheck::onStarted()
{
    // Starting is the system's part, not the client's: the limit is for the client's own start-up.
    m_limit.start();
}

void SelfCheck::onErrorOccurred(QProcess::ProcessError error)
{
    if (m_running && error == QProcess::FailedToStart)
        finish({false, QStringLiteral("no se puede ejecutar: %1").arg(m_process.errorString())});
}

void SelfCheck::onProcessFinished(int exitCode, QProcess::ExitStatus status)
{
    if (!m_running)
        return;
    if (m_timedOut)
        return finish({false, QStringLiteral("no ha terminado de arrancar en %1 segundos")
                                  .arg(std::chrono::duration_cast<std::chrono::seconds>(
                                           std::chrono::milliseconds(m_limit.interval()))
                                           .count())});
    if (status != QProcess::NormalExit)
        return finish({false, QStringLiteral("se ha cerrado de forma anormal al arrancar")});
    if (exitCode != 0)
        return finish({false, QStringLiteral("ha terminado al arrancar con el código de error %1; puede que le "
                                             "falte alguna biblioteca")
                                  .arg(exitCode)});
    finish({true, {}});
}

void SelfCheck::onTimeout()
{
    // The end of the killed process reports the failure.
    m_timedOut = true;
    m_process.kill();
}

void SelfCheck::finish(SelfCheckResult result)
{
    m_limit.stop();
    m_running = false;
    Q_EMIT finished(result);
}

} // namespace updater
