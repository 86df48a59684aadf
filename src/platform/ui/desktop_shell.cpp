#include "platform/ui/desktop_shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace ui {

namespace {

// The full path of the program to start, or empty when there is nothing runnable by that name.
QString resolveProgram(const QString &program)
{
    if (program.trimmed().isEmpty())
        return {};
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo file(program);
        return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

} // namespace

bool DesktopShell::openUrl(const QString &url)
{
    const QUrl target(url.trimmed(), QUrl::StrictMode);
    if (!target.isValid() || target.scheme().isEmpty())
        return false;
    return QDesktopServices::openUrl(target);
}

bool DesktopShell::startProgram(const QString &program, const QStringList &arguments)
{
    // startDetached would also report a missing file, but only after forking; checking first keeps
    // the answer immediate and never runs something found by accident in the working folder.
    const QString resolved = resolveProgram(program);
    if (resolved.isEmpty())
        return false;
    return QProcess::startDetached(resolved, arguments);
}

} // namespace ui
