#pragma once

#include <QString>

namespace ui {

class Prompter;
class Shell;

// What the user reads when no program opens a workbook.
inline const QString kWorkbookProgramMissing =
    QStringLiteral("No ha sido posible abrir el programa de Excel, por favor compruebe que está instalado "
                   "correctamente, y si el problema persiste contacte con nosotros.");

// What the user reads when no program opens a workbook an export has just saved: the export is
// done, so the message says where its file is.
QString workbookNotOpenedMessage(const QString &path);

// Opens a workbook the user has just saved with the desktop's program for it. When none opens it,
// the user is told so and where the file was saved, in a box titled `title`. False in that case.
bool openSavedWorkbook(Shell &shell, Prompter &prompter, const QString &path, const QString &title);

} // namespace ui
