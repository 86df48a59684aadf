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

inline const QString kTodosLosContactos = QStringLiteral("Todos los contactos");
inline const QString kPrefijoGrupo = QStringLiteral("Grupo: ");
inline const QString kTituloExportar = QStringLiteral("Exportar agenda a Excel");
inline const QString kExportacionCompleta = QStringLiteral("Exportación completa");
inline const QString kErrorExcel =
    QStringLiteral("No ha sido posible abrir el programa de Excel, por favor compruebe que está instalado "
                   "correctamente, y si el problema persiste contacte con nosotros.");
inline const QString kErrorLecturaAgenda =
    QStringLiteral("No se ha podido leer la agenda de contactos. Inténtelo de nuevo más tarde.");
QString mensajeGrupoInexistente(const QString &name);

// "Todos los contactos", then "Grupo: " + each group's name.
QStringList opcionesExportacion(db::Connection &connection, db::Result *result = nullptr);

struct FilaExportada {
    QVariant nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento;
};

// Every contact, or the members of the group of that name (a whole element of grupos_sid), in
// name order. `groupExists` turns false when the group is no longer in the table.
std::vector<FilaExportada> contactosParaExportar(db::Connection &connection, const QString &group, bool *groupExists,
                                                 db::Result *result = nullptr);

xlsx::Sheet hojaExportacion(const std::vector<FilaExportada> &rows);

struct ExportOutcome {
    enum class Status { Exported, Cancelled, GroupMissing, DatabaseError, SaveFailed, OpenFailed };
    Status status = Status::Exported;
    QString path;
    int contacts = 0;
    // Failures that close the window, as its "no Excel" road did.
    bool closesWindow() const { return status != Status::Exported && status != Status::Cancelled; }
};

struct ExportServices {
    db::Connection &conexion;
    ui::Prompter &prompter;
    ui::Shell &shell;
    ui::BusyCursor &busy;
};

// `item`: the chosen item of the group list (index 0 or empty: every contact). `folder`: where
// the file picker starts.
ExportOutcome exportarContactos(ExportServices services, int index, const QString &item, const QString &folder);

} // namespace importexport::excel
