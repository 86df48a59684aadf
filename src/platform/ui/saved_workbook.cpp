#include "platform/ui/saved_workbook.h"

#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"

#include <QDir>
#include <QUrl>

namespace ui {

QString workbookNotOpenedMessage(const QString &path)
{
    return kWorkbookProgramMissing + QStringLiteral("\n\nEl archivo se ha guardado en:\n") + QDir::toNativeSeparators(path);
}

bool openSavedWorkbook(Shell &shell, Prompter &prompter, const QString &path, const QString &title)
{
    if (shell.openUrl(QUrl::fromLocalFile(path).toString()))
        return true;
    prompter.message(workbookNotOpenedMessage(path), title, Icon::Warning);
    return false;
}

} // namespace ui
