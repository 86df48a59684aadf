#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <vector>

// This test program started again as a child under strace, which fails or kills it at a chosen
// system call: the file system as a crash or a full disk leaves it, without root and without a
// device of its own. strace counts each kind of call separately, so a point is a kind of call and
// the how-manieth call of that kind it is.
namespace testing {

struct SyscallPoint {
    QString call;      // "write", "fdatasync", ...
    int nth = 0;       // 1-based among the calls of that kind
};

// The calls that put bytes or names on the disk, or make them last.
inline QStringList diskCalls()
{
    return {QStringLiteral("write"),     QStringLiteral("pwrite64"),  QStringLiteral("writev"),
            QStringLiteral("pwritev"),   QStringLiteral("ftruncate"), QStringLiteral("rename"),
            QStringLiteral("renameat"),  QStringLiteral("renameat2"), QStringLiteral("unlink"),
            QStringLiteral("unlinkat"),  QStringLiteral("fsync"),     QStringLiteral("fdatasync")};
}

inline QString straceProgram() { return QStandardPaths::findExecutable(QStringLiteral("strace")); }

// Starts this program with `arguments` under strace with `straceOptions` before them.
inline bool startUnderStrace(QProcess &process, const QStringList &straceOptions, const QStringList &arguments)
{
    process.setProgram(straceProgram());
    process.setArguments(QStringList{QStringLiteral("-f"), QStringLiteral("-qq")} + straceOptions
                         + QStringList{QCoreApplication::applicationFilePath()} + arguments);
    process.start();
    return process.waitForStarted(10000);
}

// Every disk call of a whole run of the child, in the order they came. Empty when strace could
// not run it to its end.
inline std::vector<SyscallPoint> diskCallsOfRun(const QStringList &arguments, int timeoutMs = 60000)
{
    QTemporaryFile log;
    if (!log.open())
        return {};
    QProcess child;
    if (!startUnderStrace(child,
                          {QStringLiteral("-o"), log.fileName(), QStringLiteral("-e"),
                           QStringLiteral("trace=") + diskCalls().join(QLatin1Char(','))},
                          arguments)
        || !child.waitForFinished(timeoutMs) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    std::vector<SyscallPoint> calls;
    QHash<QString, int> seen;
    QFile trace(log.fileName());
    if (!trace.open(QIODevice::ReadOnly))
        return {};
    while (!trace.atEnd()) {
        QString line = QString::fromLocal8Bit(trace.readLine());
        // With -f each line starts with the thread's id; a call the log split in two is
        // counted at its start only.
        line = line.section(QLatin1Char(' '), 1).trimmed();
        if (line.startsWith(QLatin1String("<...")))
            continue;
        const QString call = line.section(QLatin1Char('('), 0, 0);
        if (!diskCalls().contains(call))
            continue;
        calls.push_back({call, ++seen[call]});
    }
    return calls;
}

// strace's option that kills the child at `point`, before the call is made.
inline QStringList killAt(const SyscallPoint &point)
{
    return {QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-e"),
            QStringLiteral("inject=%1:signal=KILL:when=%2").arg(point.call).arg(point.nth)};
}

} // namespace testing
