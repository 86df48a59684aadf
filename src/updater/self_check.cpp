#include "updater/self_check.h"

#include <QProcess>

namespace updater {

QString selfCheckArgument()
{
    return QStringLiteral("--self-check");
}

SelfCheckResult runSelfCheck(const QString &program, std::chrono::milliseconds limit)
{
    QProcess client;
    client.setProgram(program);
    client.setArguments({selfCheckArgument()});
    // Nothing it writes is read, so nothing it writes may fill a pipe and hold it up.
    client.setStandardInputFile(QProcess::nullDevice());
    client.setStandardOutputFile(QProcess::nullDevice());
    client.setStandardErrorFile(QProcess::nullDevice());
    client.start();
    // Starting is the system's part, not the client's: the limit is for the client's own start-up.
    constexpr int startLimit = 30000;
    if (!client.waitForStarted(startLimit))
        return {false, QStringLiteral("no se puede ejecutar: %1").arg(client.errorString())};
    if (!client.waitForFinished(int(limit.count()))) {
        client.kill();
        client.waitForFinished(int(limit.count()));
        return {false, QStringLiteral("no ha terminado de arrancar en %1 segundos")
                           .arg(std::chrono::duration_cast<std::chrono::seconds>(limit).count())};
    }
    if (client.exitStatus() != QProcess::NormalExit)
        return {false, QStringLiteral("se ha cerrado de forma anormal al arrancar")};
    if (client.exitCode() != 0)
        return {false, QStringLiteral("ha terminado al arrancar con el código de error %1; puede que le falte "
                                      "alguna biblioteca")
                           .arg(client.exitCode())};
    return {true, {}};
}

} // namespace updater
