#pragma once

#include "history/recipient_classes.h"
#include "platform/xlsx/sheet.h"

#include <QString>

// "Exportar teléfonos a Excel": the sheet of one class of a send's recipients, each number with its
// delivery state, under the send's date, schedule, message and sender.
namespace history::exporting {

inline constexpr int kFirstPhoneRow = 8;

// B2:C5 the send, B7:C7 the headings, from B8 down one number of the class list per row with its
// state (coloured) beside it; a number in no list of the send leaves its state empty. Texts that
// read as numbers become numbers, as typing them into Excel would; nothing becomes a formula.
xlsx::Sheet recipientsSheet(const RecipientSend &send, const QString &list);

// The name the file picker suggests for the workbook of a send.
QString recipientsWorkbookName(qint64 sid, RecipientClass recipientClass);

} // namespace history::exporting
