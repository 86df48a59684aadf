#include "history/export/export_flow.h"

#include "history/contact_names.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/saved_workbook.h"
#include "platform/ui/shell.h"
#include "platform/xlsx/workbook_writer.h"

#include <QDir>

namespace history::exporting {

Outcome runExport(Services services, const Options &options, const QString &brandName, const QString &folder)
{
    Outcome outcome;
    db::Result read;
    qint64 rows = 0;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-historial"));
        rows = dataRowCount(services.connection, options, &read);
    }
    if (!read.ok()) {
        outcome.status = Outcome::Status::DatabaseError;
        services.prompter.message(kReadErrorMessage, kExportTitle, ui::Icon::Warning);
        return outcome;
    }
    if (rows == 0) {
        outcome.status = Outcome::Status::NoSends;
        services.prompter.message(kNoSendsMessage, kNoSendsTitle);
        return outcome;
    }
    // Known before anything is asked or written: a period past one sheet would otherwise be read
    // and sorted whole only to fail at the sheet's last row.
    if (rows > kMaxDataRows) {
        outcome.status = Outcome::Status::TooManyRows;
        services.prompter.message(tooManyRowsMessage(rows), kExportTitle, ui::Icon::Warning);
        return outcome;
    }

    const std::optional<QString> chosen =
        services.prompter.saveFile(kExportTitle, QDir(folder).filePath(suggestedFileName(options)),
                                   QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        outcome.status = Outcome::Status::Cancelled;
        return outcome;
    }
    outcome.path = xlsx::withXlsxSuffix(*chosen);

    // The sends go from the database to the file one at a time: a history of a million sends is
    // never held in memory, neither as rows nor as a sheet.
    xlsx::SaveResult saved;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-historial"));
        NameBook names;
        db::Result lookup;
        if (options.showNames) {
            NumberCollector numbers;
            forEachSend(services.connection, options, [&numbers](const SendRow &row) { numbers.add(row); }, &lookup);
            if (lookup.ok())
                names = NameBook::lookup(services.connection, numbers.numbers(), &lookup);
        }
        // Without names the numbers are shown: the export goes on even if the lookup failed.
        xlsx::SheetStream stream(outcome.path, kSheetName);
        SheetWriter writer(stream, options, brandName, options.showNames && lookup.ok() ? &names : nullptr);
        forEachSend(services.connection, options, [&writer](const SendRow &row) { writer.add(row); }, &read);
        if (read.ok()) {
            const Built built = writer.finish();
            outcome.rows = built.lastDataRow - kHeaderRow;
            saved = stream.finish();
        }
    }
    if (!read.ok()) {
        // Nothing is left behind: the unfinished workbook never takes the file's place.
        outcome.status = Outcome::Status::DatabaseError;
        services.prompter.message(kReadErrorMessage, kExportTitle, ui::Icon::Warning);
        return outcome;
    }
    if (!saved.ok()) {
        outcome.status = Outcome::Status::SaveFailed;
        services.prompter.message(saved.message, kExportTitle, ui::Icon::Warning);
        return outcome;
    }
    services.prompter.message(kExportedMessage, kExportTitle, ui::Icon::Information);
    ui::openSavedWorkbook(services.shell, services.prompter, outcome.path, kExportTitle);
    return outcome;
}

} // namespace history::exporting
