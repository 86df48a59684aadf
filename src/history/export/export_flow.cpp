#include "history/export/export_flow.h"

#include "history/contact_names.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "platform/xlsx/workbook_writer.h"

#include <QDir>
#include <QUrl>

namespace history::exporting {

Outcome exportar(Services services, const Options &options, const QString &marca, const QString &folder)
{
    Outcome outcome;
    db::Result read;
    std::vector<SendRow> sends;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-historial"));
        sends = selectSends(services.conexion, options, &read);
    }
    if (!read.ok()) {
        outcome.status = Outcome::Status::DatabaseError;
        services.prompter.message(kErrorLectura, kTitulo, ui::Icon::Warning);
        return outcome;
    }
    if (sends.empty()) {
        outcome.status = Outcome::Status::NoSends;
        services.prompter.message(kSinRegistros, kSinRegistrosTitulo);
        return outcome;
    }

    const std::optional<QString> chosen =
        services.prompter.saveFile(kTitulo, QDir(folder).filePath(suggestedFileName(options)),
                                   QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        outcome.status = Outcome::Status::Cancelled;
        return outcome;
    }
    outcome.path = xlsx::withXlsxSuffix(*chosen);

    xlsx::SaveResult saved;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-historial"));
        NameBook names;
        db::Result lookup;
        if (options.mostrarNombres)
            names = NameBook::lookup(services.conexion, numbersToName(sends), &lookup);
        // Without names the numbers are shown: the export goes on even if the lookup failed.
        const Built built = buildSheet(sends, options, marca, options.mostrarNombres && lookup.ok() ? &names : nullptr);
        outcome.rows = built.lastDataRow - kHeaderRow;
        saved = xlsx::save(outcome.path, {built.sheet});
    }
    if (!saved.ok()) {
        outcome.status = Outcome::Status::SaveFailed;
        services.prompter.message(saved.message, kTitulo, ui::Icon::Warning);
        return outcome;
    }
    services.prompter.message(kExportacionCompleta, kTitulo, ui::Icon::Information);
    services.shell.openUrl(QUrl::fromLocalFile(outcome.path).toString());
    return outcome;
}

} // namespace history::exporting
