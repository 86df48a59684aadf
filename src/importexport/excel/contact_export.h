#pragma once

#include "platform/xlsx/sheet.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace db { class Connection; struct Result; }
namespace ui { class BusyCursor; class Prompter; class Shell; }

// The contact book (or one group) as a workbook in the seven-column layout the Excel import maps
// back: a header row, then one contact a row in name order.
namespace importexport::excel {

inline const QString kAllContacts = QStringLiteral("Todos los contactos");
inline const QString kGroupPrefix = QStringLiteral("Grupo: ");
inline const QString kExportTitle = QStringLiteral("Exportar agenda a Excel");
inline const QString kExportDone = QStringLiteral("Exportación completa");
inline const QString kBookReadError =
    QStringLiteral("No se ha podido leer la agenda de contactos. Inténtelo de nuevo más tarde.");
QString missingGroupMessage(const QString &name);

// "Todos los contactos", then "Grupo: " + each group's name.
QStringList exportOptions(db::Connection &connection, db::Result *result = nullptr);

struct ExportedRow {
    QVariant name, phone, fullName, address, otherPhone, comment, birthDate;
};

// Every contact, or the members of the group of that name (a whole element of grupos_sid), in
// name order. `groupExists` turns false when the group is no longer in the table.
std::vector<ExportedRow> contactsToExport(db::Connection &connection, const QString &group, bool *groupExists,
                                                 db::Result *result = nullptr);

xlsx::Sheet exportSheet(const std::vector<ExportedRow> &rows);

struct ExportOutcome {
    enum class Status { Exported, Cancelled, GroupMissing, DatabaseError, SaveFailed, OpenFailed };
    Status status = Status::Exported;
    QString path;
    int contacts = 0;
    // Failures that close the window, as its "no Excel" branch did.
    bool closesWindow() const { return status != Status::Exported && status != Status::Cancelled; }
};

struct ExportServices {
    db::Connection &connection;
    ui::Prompter &prompter;
    ui::Shell &shell;
    ui::BusyCursor &busy;
};

// `item`: the chosen item of the group list (index 0 or empty: every contact). `folder`: where
// the file picker starts.
ExportOutcome exportContacts(ExportServices services, int index, const QString &item, const QString &folder);

} // namespace importexport::excel
