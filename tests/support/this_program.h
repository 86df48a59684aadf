#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

// This test program started again as another process, in a role its main() knows by the first
// argument: another workstation, another program writing a shared file.
namespace testing {

inline bool startThisProgram(QProcess &process, const QStringList &arguments)
{
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(arguments);
    process.start();
    return process.waitForStarted(10000);
}

} // namespace testing
