#include "importexport/excel/contact_export.h"

#include "importexport/store/agenda_store.h"
#include "platform/db/connection.h"
#include "platform/text/iso_date.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/saved_workbook.h"
#include "platform/ui/shell.h"
#include "platform/xlsx/workbook_writer.h"

#include <QDate>
#include <QDir>

#include <functional>

namespace importexport::excel {

namespace {

const QStringList kHeaders{QStringLiteral("Nombre"),        QStringLiteral("Telefono"),
                             QStringLiteral("Nombre Completo"), QStringLiteral("Direccion"),
                             QStringLiteral("Otro telefono"), QStringLiteral("Comentario"),
                             QStringLiteral("Fecha de nacimiento")};

const QString kSelectColumns =
    QStringLiteral("SELECT nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento FROM Agenda ");

} // namespace

QString missingGroupMessage(const QString &name)
{
    return QStringLiteral("El grupo '") + name + QStringLiteral("' ya no existe. Cierre esta ventana y vuelva a "
                                                                 "abrirla para ver la lista de grupos actual.");
}

QStringList exportOptions(db::Connection &connection, db::Result *result)
{
    QStringList items{kAllContacts};
    for (const QString &name : AgendaStore(connection).groupNames(result))
        items << kGroupPrefix + name;
    return items;
}

namespace {

// The group's sid as the query matches it; nothing for every contact. `exists` turns false when a
// group was named and is no longer in the table.
std::optional<QString> findGroup(db::Connection &connection, const QString &group, bool &exists, db::Result &r)
{
    exists = true;
    r = {};
    if (group.isNull())
        return std::nullopt;
    const std::optional<qint64> sid = AgendaStore(connection).groupSid(group, &r);
    exists = r.ok() && sid.has_value();
    return sid ? std::optional<QString>(QString::number(*sid)) : std::nullopt;
}

// The contacts of the query one at a time, none of them kept.
bool forEachContact(db::Connection &connection, const std::optional<QString> &sid,
                       const std::function<void(const ExportedRow &)> &visit, db::Result &r)
{
    QString sql = kSelectColumns;
    QVariantList values;
    if (sid) {
        // The group is a whole element of the list: group 1 does not match a contact of group 12.
        sql += QStringLiteral("WHERE en_lista(grupos_sid, ?1) = 1 ");
        values << *sid;
    }
    sql += QStringLiteral("ORDER BY nombre COLLATE ESPANOL ASC, sid ASC");
    db::Statement query = connection.prepare(sql, &r);
    if (!query.isValid())
        return false;
    query.bindAll(values);
    while (query.next())
        visit({query.value(0), query.value(1), query.value(2), query.value(3), query.value(4),
                 query.value(5), query.value(6)});
    if (!query.error().isEmpty()) {
        r = {db::Status::Error, query.error()};
        return false;
    }
    return true;
}

void writeHeader(xlsx::RowTarget &target)
{
    xlsx::RowCells cells;
    for (int c = 0; c < kHeaders.size(); ++c)
        cells.emplace_back(c + 1, xlsx::Cell{kHeaders.at(c), {}});
    target.writeRow(1, cells);
}

void writeRow(xlsx::RowTarget &target, int rowNumber, const ExportedRow &f)
{
    // As typing it in: numbers stay numbers, "=" stays text; an empty field leaves its cell empty.
    xlsx::RowCells cells;
    cells.reserve(7);
    const QString texts[] = {f.name.toString(),    f.phone.toString(),   f.fullName.toString(),
                              f.address.toString(), f.otherPhone.toString(), f.comment.toString()};
    for (int c = 0; c < 6; ++c)
        if (!texts[c].isEmpty())
            cells.emplace_back(c + 1, xlsx::typedCell(texts[c]));
    const QString dateText = f.birthDate.toString();
    const QDate date = text::isoDate(dateText);
    if (date.isValid())
        cells.emplace_back(7, xlsx::dateCell(date));
    else if (!dateText.isEmpty())
        cells.emplace_back(7, xlsx::Cell{dateText, {}});
    target.writeRow(rowNumber, cells);
}

} // namespace

std::vector<ExportedRow> contactsToExport(db::Connection &connection, const QString &group, bool *groupExists,
                                                 db::Result *result)
{
    db::Result r;
    bool exists = true;
    const std::optional<QString> sid = findGroup(connection, group, exists, r);
    std::vector<ExportedRow> rows;
    if (r.ok() && exists
        && !forEachContact(connection, sid, [&rows](const ExportedRow &f) { rows.push_back(f); }, r))
        rows.clear();
    if (groupExists)
        *groupExists = exists || !r.ok();
    if (result)
        *result = r;
    return rows;
}

xlsx::Sheet exportSheet(const std::vector<ExportedRow> &rows)
{
    xlsx::Sheet sheet;
    xlsx::SheetRows target(sheet);
    writeHeader(target);
    int row = 2;
    for (const ExportedRow &f : rows)
        writeRow(target, row++, f);
    return sheet;
}

ExportOutcome exportContacts(ExportServices services, int index, const QString &item, const QString &folder)
{
    ExportOutcome outcome;
    const QString group = index > 0 ? item.mid(kGroupPrefix.size()) : QString();

    db::Result read;
    bool exists = true;
    std::optional<QString> sid;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-agenda"));
        sid = findGroup(services.connection, group, exists, read);
    }
    const auto readError = [&] {
        outcome.status = ExportOutcome::Status::DatabaseError;
        services.prompter.message(kBookReadError, kExportTitle, ui::Icon::Warning);
        return outcome;
    };
    if (!read.ok())
        return readError();
    if (!exists) {
        outcome.status = ExportOutcome::Status::GroupMissing;
        services.prompter.message(missingGroupMessage(group), kExportTitle, ui::Icon::Warning);
        return outcome;
    }

    const QString suggested = QDir(folder).filePath(QStringLiteral("Agenda_%1.xlsx")
                                                       .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    const std::optional<QString> chosen =
        services.prompter.saveFile(kExportTitle, suggested, QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        outcome.status = ExportOutcome::Status::Cancelled;
        return outcome;
    }
    outcome.path = xlsx::withXlsxSuffix(*chosen);

    // Each contact goes from the database to the file as it is read: never all held at once.
    xlsx::SaveResult saved;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-agenda"));
        xlsx::SheetStream stream(outcome.path, QStringLiteral("Hoja1"));
        writeHeader(stream);
        int rowNumber = 2;
        if (forEachContact(services.connection, sid,
                              [&stream, &rowNumber](const ExportedRow &f) { writeRow(stream, rowNumber++, f); }, read)) {
            outcome.contacts = rowNumber - 2;
            saved = stream.finish();
        }
    }
    if (!read.ok())
        return readError();
    if (!saved.ok()) {
        outcome.status = ExportOutcome::Status::SaveFailed;
        services.prompter.message(saved.message, kExportTitle, ui::Icon::Warning);
        return outcome;
    }
    services.prompter.message(kExportDone, kExportTitle, ui::Icon::Information);
    if (!ui::openSavedWorkbook(services.shell, services.prompter, outcome.path, kExportTitle))
        outcome.status = ExportOutcome::Status::OpenFailed;
    return outcome;
}

} // namespace importexport::excel
