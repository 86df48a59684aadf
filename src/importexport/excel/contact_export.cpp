#include "importexport/excel/contact_export.h"

#include "importexport/store/agenda_store.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "platform/xlsx/workbook_writer.h"

#include <QDate>
#include <QDir>
#include <QUrl>

namespace importexport::excel {

namespace {

const QStringList kCabeceras{QStringLiteral("Nombre"),        QStringLiteral("Telefono"),
                             QStringLiteral("Nombre Completo"), QStringLiteral("Direccion"),
                             QStringLiteral("Otro telefono"), QStringLiteral("Comentario"),
                             QStringLiteral("Fecha de nacimiento")};

const QString kColumnas =
    QStringLiteral("SELECT nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento FROM Agenda ");

} // namespace

QString mensajeGrupoInexistente(const QString &nombre)
{
    return QStringLiteral("El grupo '") + nombre + QStringLiteral("' ya no existe. Cierre esta ventana y vuelva a "
                                                                 "abrirla para ver la lista de grupos actual.");
}

QStringList opcionesExportacion(db::Connection &conexion, db::Result *result)
{
    QStringList items{kTodosLosContactos};
    for (const QString &name : AgendaStore(conexion).groupNames(result))
        items << kPrefijoGrupo + name;
    return items;
}

std::vector<FilaExportada> contactosParaExportar(db::Connection &conexion, const QString &grupo, bool *grupoExiste,
                                                 db::Result *result)
{
    if (grupoExiste)
        *grupoExiste = true;
    std::vector<db::Row> rows;
    if (grupo.isNull()) {
        rows = conexion.select(kColumnas + QStringLiteral("ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {}, result);
    } else {
        db::Result r;
        const std::optional<qint64> sid = AgendaStore(conexion).groupSid(grupo, &r);
        if (result)
            *result = r;
        if (!r.ok())
            return {};
        if (!sid) {
            if (grupoExiste)
                *grupoExiste = false;
            return {};
        }
        // The group is a whole element of the list: group 1 does not match a contact of group 12.
        rows = conexion.select(kColumnas
                                   + QStringLiteral("WHERE en_lista(grupos_sid, ?1) = 1 "
                                                    "ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"),
                               {QString::number(*sid)}, result);
    }
    std::vector<FilaExportada> filas;
    filas.reserve(rows.size());
    for (const db::Row &row : rows)
        filas.push_back({row.value(0), row.value(1), row.value(2), row.value(3), row.value(4), row.value(5), row.value(6)});
    return filas;
}

xlsx::Sheet hojaExportacion(const std::vector<FilaExportada> &filas)
{
    xlsx::Sheet sheet;
    sheet.setTextRow(1, 1, kCabeceras);
    int row = 2;
    for (const FilaExportada &f : filas) {
        // As typing it in: numbers stay numbers, "=" stays text.
        sheet.setTypedRow(row, 1,
                          {f.nombre.toString(), f.telefono.toString(), f.nombre_completo.toString(),
                           f.direccion.toString(), f.telefono_2.toString(), f.comentario.toString()});
        const QString fecha = f.f_nacimiento.toString();
        const QDate date = QDate::fromString(fecha, QStringLiteral("yyyy-MM-dd"));
        if (date.isValid())
            sheet.setDate(row, 7, date);
        else if (!fecha.isEmpty())
            sheet.setText(row, 7, fecha);
        ++row;
    }
    return sheet;
}

ExportOutcome exportarContactos(ExportServices services, int indice, const QString &opcion, const QString &folder)
{
    ExportOutcome outcome;
    const QString grupo = indice > 0 ? opcion.mid(kPrefijoGrupo.size()) : QString();

    std::vector<FilaExportada> filas;
    db::Result read;
    bool existe = true;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-agenda"));
        filas = contactosParaExportar(services.conexion, grupo, &existe, &read);
    }
    if (!read.ok()) {
        outcome.status = ExportOutcome::Status::DatabaseError;
        services.prompter.message(kErrorLecturaAgenda, kTituloExportar, ui::Icon::Warning);
        return outcome;
    }
    if (!existe) {
        outcome.status = ExportOutcome::Status::GroupMissing;
        services.prompter.message(mensajeGrupoInexistente(grupo), kTituloExportar, ui::Icon::Warning);
        return outcome;
    }

    const QString sugerido = QDir(folder).filePath(QStringLiteral("Agenda_%1.xlsx")
                                                       .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    const std::optional<QString> chosen =
        services.prompter.saveFile(kTituloExportar, sugerido, QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        outcome.status = ExportOutcome::Status::Cancelled;
        return outcome;
    }
    outcome.path = xlsx::withXlsxSuffix(*chosen);
    outcome.contacts = int(filas.size());

    xlsx::SaveResult saved;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-agenda"));
        saved = xlsx::save(outcome.path, {hojaExportacion(filas)});
    }
    if (!saved.ok()) {
        outcome.status = ExportOutcome::Status::SaveFailed;
        services.prompter.message(saved.message, kTituloExportar, ui::Icon::Warning);
        return outcome;
    }
    services.prompter.message(kExportacionCompleta, kTituloExportar, ui::Icon::Information);
    if (!services.shell.openUrl(QUrl::fromLocalFile(outcome.path).toString())) {
        outcome.status = ExportOutcome::Status::OpenFailed;
        services.prompter.message(kErrorExcel);
    }
    return outcome;
}

} // namespace importexport::excel
