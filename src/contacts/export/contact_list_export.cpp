#include "contacts/export/contact_list_export.h"

#include "platform/text/iso_date.h"
#include "platform/ui/confirmation.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/saved_workbook.h"
#include "platform/ui/shell.h"
#include "platform/xlsx/workbook_writer.h"

#include <QDate>
#include <QDir>

namespace contacts::exporting {

namespace {

const QString kDateFormat = QStringLiteral("dd/mm/yyyy");

} // namespace

QStringList headers()
{
    return {QStringLiteral("Nombre"),     QStringLiteral("Telefono"),      QStringLiteral("Nombre Completo"),
            QStringLiteral("Direccion"),  QStringLiteral("Otro telefono"), QStringLiteral("Comentario"),
            QStringLiteral("Fecha de nacimiento")};
}

QString doneMessage(qint64 rows)
{
    return kExportDoneTitle + QStringLiteral("\n\nSe han exportado ") + QString::number(rows)
        + (rows == 1 ? QStringLiteral(" contacto.") : QStringLiteral(" contactos."));
}

QString confirmPrompt(qint64 rows)
{
    return QStringLiteral("Se van a exportar a Excel ") + QString::number(rows)
        + QStringLiteral(" contactos, y llevará un tiempo procesar los datos. Está seguro que desea continuar?");
}

void ContactListWriter::writeHeader()
{
    const QStringList titles = headers();
    xlsx::RowCells cells;
    for (int i = 0; i < titles.size(); ++i) {
        xlsx::Cell cell{titles.at(i), {}};
        cell.style.bold = true;
        cells.emplace_back(kFirstColumn + i, cell);
    }
    writeRow(kHeaderRow, cells);
}

void ContactListWriter::add(const Contact &c)
{
    // Each value as typed in; an empty field leaves its cell empty.
    xlsx::RowCells cells;
    cells.reserve(7);
    const QString texts[] = {c.name, c.phone, c.fullName, c.address, c.phone2, c.comment};
    for (int i = 0; i < 6; ++i)
        if (!texts[i].isEmpty())
            cells.emplace_back(kFirstColumn + i, xlsx::typedCell(texts[i]));
    // Birth dates are kept "yyyy-MM-dd"; anything else there goes in as typed.
    const QDate birth = text::isoDate(c.birthDate.left(10));
    if (birth.isValid())
        cells.emplace_back(kLastColumn, xlsx::dateCell(birth, kDateFormat));
    else if (!c.birthDate.isEmpty())
        cells.emplace_back(kLastColumn, xlsx::typedCell(c.birthDate));
    writeRow(m_row++, cells);
}

void ContactListWriter::writeRow(int row, const xlsx::RowCells &cells)
{
    m_fit.note(cells, kFirstColumn, kLastColumn);
    m_target.writeRow(row, cells);
}

void ContactListWriter::finish()
{
    for (auto it = m_fit.widths().cbegin(); it != m_fit.widths().cend(); ++it)
        m_target.setColumnWidth(it.key(), it.value());
}

xlsx::Sheet listSheet(const std::vector<Contact> &contactList)
{
    xlsx::Sheet sheet;
    xlsx::SheetRows rows(sheet);
    ContactListWriter writer(rows);
    for (const Contact &c : contactList)
        writer.add(c);
    writer.finish();
    return sheet;
}

ExportResult exportContactList(Services services, const ContactRecords &contactList, const QString &folder)
{
    ExportResult result;
    // The list as it stands now: other workstations may have changed it since the view was drawn.
    const qint64 rows = contactList.countNow();
    if (rows <= 0) {
        result.status = rows == 0 ? ExportResult::Status::NoContacts : ExportResult::Status::SaveFailed;
        if (rows < 0)
            services.prompter.message(kListReadError, kExportTitle, ui::Icon::Warning);
        return result;
    }
    if (rows > kRowsWithoutAsking) {
        const ui::AskText ask = [&services](const QString &prompt, const QString &title,
                                                        const QString &fallback) {
            return services.prompter.input(prompt, title, fallback);
        };
        // The answer is taken as typed: blanks around "SI" ask again.
        if (!ui::confirmByTypingYes(ask, confirmPrompt(rows), kConfirmTitle, ui::ConfirmationRule::Exact,
                                      kInitialAnswer)) {
            result.status = ExportResult::Status::NotConfirmed;
            return result;
        }
    }

    const std::optional<QString> chosen = services.prompter.saveFile(
        kExportTitle, QDir(folder).filePath(kSuggestedFileName), QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        result.status = ExportResult::Status::Cancelled;
        return result;
    }
    result.path = xlsx::withXlsxSuffix(*chosen);

    // Each contact goes from the database to the file as it is read: the list is never held whole.
    xlsx::SaveResult saved;
    qint64 written = 0;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-listado"));
        xlsx::SheetStream sheet(result.path, QStringLiteral("Hoja1"));
        ContactListWriter writer(sheet);
        const bool readBackRows = contactList.forEach([&writer, &written](const Contact &c) {
            writer.add(c);
            ++written;
        });
        writer.finish();
        // A list that could not be read whole is not left behind as if it were.
        saved = readBackRows ? sheet.finish()
                          : xlsx::SaveResult{xlsx::SaveResult::Status::Failed, kListReadError,
                                             QStringLiteral("contact query failed")};
    }
    if (!saved.ok()) {
        result.status = ExportResult::Status::SaveFailed;
        services.prompter.message(saved.message, kExportTitle, ui::Icon::Warning);
        return result;
    }
    result.rows = int(written);
    services.prompter.message(doneMessage(written), kExportTitle, ui::Icon::Information);
    ui::openSavedWorkbook(services.shell, services.prompter, result.path, kExportTitle);
    return result;
}

} // namespace contacts::exporting
