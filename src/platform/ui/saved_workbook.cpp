#include "platform/ui/saved_workbook.h"

#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"

#include <QDir>
#include <QUrl>

namespace ui {

QString workbookNotOpenedMessage(const QString &path)
{
    return QStringLiteral("No ha sido posible abrir el programa de Excel, por favor compruebe que está instalado "
                          "correctamente, y si el problema persiste contacte con nosotros.\n\n"
                          "El archivo se ha guardado en:\n")
         + QDir::toNativeSeparators(path);
}

bool openSavedWorkbook(Shell &shell, Prompter &prompter, const QString &path, const QString &title)
{
    if (shell.openUrl(QUrl::fromLocalFile(path).toString()))
        return true;
    prompter.message(workbookNotOpenedMessage(path), title, Icon::Warning);
    return false;
}

} // namespace ui
