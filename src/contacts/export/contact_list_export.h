#pragma once

#include "contacts/contact_book.h"
#include "platform/xlsx/column_width.h"
#include "platform/xlsx/sheet.h"

#include <QString>

#include <vector>

namespace db { class Connection; }
namespace ui { class BusyCursor; class Prompter; class Shell; }

// "Exportar listado de contactos a Excel": the rows the contacts tab holds (the whole book or the
// filter's result, every page, in name order) written as one worksheet. The sheet is computed
// first, so what goes into the workbook is checked without opening one.
namespace contacts::exporting {

inline const QString kTituloListado = QStringLiteral("Exportar listado de contactos a Excel");
inline const QString kExportacionCompleta = QStringLiteral("Exportación completa");
inline const QString kTituloConfirmar = QStringLiteral("Confirmar exportación");
inline const QString kRespuestaInicial = QStringLiteral("Escriba SI o cancele la operación");
inline const QString kNombreSugerido = QStringLiteral("Contactos.xlsx");

// Row 2 holds the headers, the contacts start in row 3, columns B to H; A and row 1 stay empty.
inline constexpr int kFilaCabecera = 2;
inline constexpr int kPrimeraFila = 3;
inline constexpr int kPrimeraColumna = 2;
inline constexpr int kUltimaColumna = 8;

// Up to this many rows the export starts without asking.
inline constexpr qint64 kFilasSinPreguntar = 5000;

QStringList cabeceras();

// The prompt of the typed confirmation for a long list.
QString preguntaConfirmar(qint64 rows);

// The sheet: bold headers, each value as if typed into its cell (numbers stay numbers, nothing
// becomes a formula), the birth date as a date shown "dd/mm/yyyy", widths fitted to the contents.
xlsx::Sheet hojaListado(const std::vector<Contacto> &contactList);

// The same sheet written row by row as the contacts come (the widths at finish()).
class ListadoWriter final {
public:
    explicit ListadoWriter(xlsx::RowTarget &target) : m_destino(target) { cabecera(); }
    void add(const Contacto &contact);
    void finish();

private:
    void cabecera();
    void escribir(int row, const xlsx::RowCells &cells);

    xlsx::RowTarget &m_destino;
    xlsx::ColumnFit m_ajuste;
    int m_fila = kPrimeraFila;
};

struct Resultado {
    enum class Status { Exportado, SinContactos, NoConfirmado, Cancelado, ErrorGuardar };
    Status estado = Status::Exportado;
    QString ruta;
    int filas = 0;
};

struct Servicios {
    ui::Prompter &prompter;
    ui::Shell &shell;
    ui::BusyCursor &busy;
};

// The icon's whole run: nothing for an empty list; the typed "SI" above 5000 rows; the file to
// keep the workbook in; the workbook written and then opened in the user's spreadsheet program.
// The workbook goes to a file because there is no spreadsheet program to hand an unsaved one to.
// `folder` is where the file picker starts.
Resultado exportarListado(Servicios services, const RegistrosAgenda &contactList, const QString &folder);

} // namespace contacts::exporting
