#pragma once

#include "contacts/contact_book.h"
#include "platform/xlsx/column_width.h"
#include "platform/xlsx/sheet.h"

#include <QString>

#include <vector>

namespace db { class Connection; }
namespace ui { class BusyCursor; class Prompter; class Shell; }

// "Exportar listado de contactos a Excel": the rows the contacts tab lists (every contact or the
// filter's result, every page, in name order, as they stand when the export runs) written as one
// worksheet. The sheet is computed
// first, so what goes into the workbook is checked without opening one.
namespace contacts::exporting {

inline const QString kExportTitle = QStringLiteral("Exportar listado de contactos a Excel");
inline const QString kExportDoneTitle = QStringLiteral("Exportación completa");
inline const QString kConfirmTitle = QStringLiteral("Confirmar exportación");
inline const QString kInitialAnswer = QStringLiteral("Escriba SI o cancele la operación");
inline const QString kSuggestedFileName = QStringLiteral("Contactos.xlsx");
inline const QString kListReadError =
    QStringLiteral("No se ha podido leer la lista de contactos. Inténtelo de nuevo más tarde.");

// Row 2 holds the headers, the contacts start in row 3, columns B to H; A and row 1 stay empty.
inline constexpr int kHeaderRow = 2;
inline constexpr int kFirstRow = 3;
inline constexpr int kFirstColumn = 2;
inline constexpr int kLastColumn = 8;

// Up to this many rows the export starts without asking.
inline constexpr qint64 kRowsWithoutAsking = 5000;

QStringList headers();

// The message that closes an export: "Exportación completa" and how many contacts were written.
QString doneMessage(qint64 rows);

// The prompt of the typed confirmation for a long list.
QString confirmPrompt(qint64 rows);

// The sheet: bold headers, each value as if typed into its cell (numbers stay numbers, nothing
// becomes a formula), the birth date as a date shown "dd/mm/yyyy", widths fitted to the contents.
xlsx::Sheet listSheet(const std::vector<Contact> &contactList);

// The same sheet written row by row as the contacts come (the widths at finish()).
class ContactListWriter final {
public:
    explicit ContactListWriter(xlsx::RowTarget &target) : m_target(target) { writeHeader(); }
    void add(const Contact &contact);
    void finish();

private:
    void writeHeader();
    void writeRow(int row, const xlsx::RowCells &cells);

    xlsx::RowTarget &m_target;
    xlsx::ColumnFit m_fit;
    int m_row = kFirstRow;
};

struct ExportResult {
    enum class Status { Exported, NoContacts, NotConfirmed, Cancelled, SaveFailed };
    Status status = Status::Exported;
    QString path;
    int rows = 0;
};

struct Services {
    ui::Prompter &prompter;
    ui::Shell &shell;
    ui::BusyCursor &busy;
};

// The icon's whole run: nothing for an empty list; the typed "SI" above 5000 rows; the file to
// keep the workbook in; the workbook written and then opened in the user's spreadsheet program.
// The workbook goes to a file because there is no spreadsheet program to hand an unsaved one to.
// `folder` is where the file picker starts.
ExportResult exportContactList(Services services, const ContactRecords &contactList, const QString &folder);

} // namespace contacts::exporting
