#pragma once

#include "history/export/history_export.h"

#include <QString>

namespace db { class Connection; }
namespace ui { class BusyCursor; class Prompter; class Shell; }

// The "Exportar" button at work, without the window: read the sends, compute the sheet, ask where
// to keep the workbook, write it and open it in the user's spreadsheet program. The workbook is
// written to a file because there is no spreadsheet program to hand an unsaved one to; the user
// picks the file first, so nothing is lost if the program that opens it is closed unsaved.
namespace history::exporting {

struct Outcome {
    enum class Status { Exported, NoSends, TooManyRows, Cancelled, DatabaseError, SaveFailed };
    Status status = Status::Exported;
    QString path;               // the workbook written
    int rows = 0;               // data rows of the sheet
};

struct Services {
    db::Connection &connection;
    ui::Prompter &prompter;
    ui::Shell &shell;
    ui::BusyCursor &busy;
};

// `folder` is where the file picker starts.
Outcome runExport(Services services, const Options &options, const QString &brandName, const QString &folder);

inline const QString kReadErrorMessage =
    QStringLiteral("No se ha podido leer el historial de envíos. Inténtelo de nuevo más tarde.");

} // namespace history::exporting
