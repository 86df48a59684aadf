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

#include <functional>

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

namespace {

// The group's sid as the query matches it; nothing for every contact. `existe` turns false when a
// group was named and is no longer in the table.
std::optional<QString> grupoBuscado(db::Connection &conexion, const QString &grupo, bool &existe, db::Result &r)
{
    existe = true;
    r = {};
    if (grupo.isNull())
        return std::nullopt;
    const std::optional<qint64> sid = AgendaStore(conexion).groupSid(grupo, &r);
    existe = r.ok() && sid.has_value();
    return sid ? std::optional<QString>(QString::number(*sid)) : std::nullopt;
}

// The contacts of the query one at a time, none of them kept.
bool recorrerContactos(db::Connection &conexion, const std::optional<QString> &sid,
                       const std::function<void(const FilaExportada &)> &visitar, db::Result &r)
{
    QString sql = kColumnas;
    QVariantList valores;
    if (sid) {
        // The group is a whole element of the list: group 1 does not match a contact of group 12.
        sql += QStringLiteral("WHERE en_lista(grupos_sid, ?1) = 1 ");
        valores << *sid;
    }
    sql += QStringLiteral("ORDER BY nombre COLLATE ESPANOL ASC, sid ASC");
    db::Statement consulta = conexion.prepare(sql, &r);
    if (!consulta.isValid())
        return false;
    consulta.bindAll(valores);
    while (consulta.next())
        visitar({consulta.value(0), consulta.value(1), consulta.value(2), consulta.value(3), consulta.value(4),
                 consulta.value(5), consulta.value(6)});
    if (!consulta.error().isEmpty()) {
        r = {db::Status::Error, consulta.error()};
        return false;
    }
    return true;
}

void escribirCabecera(xlsx::RowTarget &destino)
{
    xlsx::RowCells celdas;
    for (int c = 0; c < kCabeceras.size(); ++c)
        celdas.emplace_back(c + 1, xlsx::Cell{kCabeceras.at(c), {}});
    destino.writeRow(1, celdas);
}

void escribirFila(xlsx::RowTarget &destino, int fila, const FilaExportada &f)
{
    // As typing it in: numbers stay numbers, "=" stays text; an empty field leaves its cell empty.
    xlsx::RowCells celdas;
    const QString textos[] = {f.nombre.toString(),    f.telefono.toString(),   f.nombre_completo.toString(),
                              f.direccion.toString(), f.telefono_2.toString(), f.comentario.toString()};
    for (int c = 0; c < 6; ++c)
        if (!textos[c].isEmpty())
            celdas.emplace_back(c + 1, xlsx::typedCell(textos[c]));
    const QString fecha = f.f_nacimiento.toString();
    const QDate date = QDate::fromString(fecha, QStringLiteral("yyyy-MM-dd"));
    if (date.isValid())
        celdas.emplace_back(7, xlsx::dateCell(date));
    else if (!fecha.isEmpty())
        celdas.emplace_back(7, xlsx::Cell{fecha, {}});
    destino.writeRow(fila, celdas);
}

} // namespace

std::vector<FilaExportada> contactosParaExportar(db::Connection &conexion, const QString &grupo, bool *grupoExiste,
                                                 db::Result *result)
{
    db::Result r;
    bool existe = true;
    const std::optional<QString> sid = grupoBuscado(conexion, grupo, existe, r);
    std::vector<FilaExportada> filas;
    if (r.ok() && existe
        && !recorrerContactos(conexion, sid, [&filas](const FilaExportada &f) { filas.push_back(f); }, r))
        filas.clear();
    if (grupoExiste)
        *grupoExiste = existe || !r.ok();
    if (result)
        *result = r;
    return filas;
}

xlsx::Sheet hojaExportacion(const std::vector<FilaExportada> &filas)
{
    xlsx::Sheet sheet;
    xlsx::SheetRows destino(sheet);
    escribirCabecera(destino);
    int row = 2;
    for (const FilaExportada &f : filas)
        escribirFila(destino, row++, f);
    return sheet;
}

ExportOutcome exportarContactos(ExportServices services, int indice, const QString &opcion, const QString &folder)
{
    ExportOutcome outcome;
    const QString grupo = indice > 0 ? opcion.mid(kPrefijoGrupo.size()) : QString();

    db::Result read;
    bool existe = true;
    std::optional<QString> sid;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-agenda"));
        sid = grupoBuscado(services.conexion, grupo, existe, read);
    }
    const auto errorLectura = [&] {
        outcome.status = ExportOutcome::Status::DatabaseError;
        services.prompter.message(kErrorLecturaAgenda, kTituloExportar, ui::Icon::Warning);
        return outcome;
    };
    if (!read.ok())
        return errorLectura();
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

    // Each contact goes from the database to the file as it is read: the book is never held whole.
    xlsx::SaveResult saved;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-agenda"));
        xlsx::SheetStream stream(outcome.path, QStringLiteral("Hoja1"));
        escribirCabecera(stream);
        int fila = 2;
        if (recorrerContactos(services.conexion, sid,
                              [&stream, &fila](const FilaExportada &f) { escribirFila(stream, fila++, f); }, read)) {
            outcome.contacts = fila - 2;
            saved = stream.finish();
        }
    }
    if (!read.ok())
        return errorLectura();
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
