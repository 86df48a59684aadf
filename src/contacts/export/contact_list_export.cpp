#include "contacts/export/contact_list_export.h"

#include "history/confirmation.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "platform/xlsx/workbook_writer.h"

#include <QDate>
#include <QDir>
#include <QUrl>

namespace contacts::exporting {

namespace {

const QString kDateFormat = QStringLiteral("dd/mm/yyyy");

} // namespace

QStringList cabeceras()
{
    return {QStringLiteral("Nombre"),     QStringLiteral("Telefono"),      QStringLiteral("Nombre Completo"),
            QStringLiteral("Direccion"),  QStringLiteral("Otro telefono"), QStringLiteral("Comentario"),
            QStringLiteral("Fecha de nacimiento")};
}

QString preguntaConfirmar(qint64 rows)
{
    return QStringLiteral("Se van a exportar a Excel ") + QString::number(rows)
        + QStringLiteral(" contactos, y llevará un tiempo procesar los datos. Está seguro que desea continuar?");
}

void ListadoWriter::cabecera()
{
    const QStringList titles = cabeceras();
    xlsx::RowCells cells;
    for (int i = 0; i < titles.size(); ++i) {
        xlsx::Cell cell{titles.at(i), {}};
        cell.style.bold = true;
        cells.emplace_back(kPrimeraColumna + i, cell);
    }
    escribir(kFilaCabecera, cells);
}

void ListadoWriter::add(const Contacto &c)
{
    // Each value as typed in; an empty field leaves its cell empty.
    xlsx::RowCells cells;
    const QString texts[] = {c.nombre, c.telefono, c.nombre_completo, c.direccion, c.telefono_2, c.comentario};
    for (int i = 0; i < 6; ++i)
        if (!texts[i].isEmpty())
            cells.emplace_back(kPrimeraColumna + i, xlsx::typedCell(texts[i]));
    // Birth dates are kept "yyyy-MM-dd"; anything else there goes in as typed.
    const QDate birth = QDate::fromString(c.f_nacimiento.left(10), QStringLiteral("yyyy-MM-dd"));
    if (birth.isValid())
        cells.emplace_back(kUltimaColumna, xlsx::dateCell(birth, kDateFormat));
    else if (!c.f_nacimiento.isEmpty())
        cells.emplace_back(kUltimaColumna, xlsx::typedCell(c.f_nacimiento));
    escribir(m_fila++, cells);
}

void ListadoWriter::escribir(int row, const xlsx::RowCells &cells)
{
    m_ajuste.note(cells, kPrimeraColumna, kUltimaColumna);
    m_destino.writeRow(row, cells);
}

void ListadoWriter::finish()
{
    for (auto it = m_ajuste.widths().cbegin(); it != m_ajuste.widths().cend(); ++it)
        m_destino.setColumnWidth(it.key(), it.value());
}

xlsx::Sheet hojaListado(const std::vector<Contacto> &contactList)
{
    xlsx::Sheet sheet;
    xlsx::SheetRows rows(sheet);
    ListadoWriter writer(rows);
    for (const Contacto &c : contactList)
        writer.add(c);
    writer.finish();
    return sheet;
}

Resultado exportarListado(Servicios services, const RegistrosAgenda &contactList, const QString &folder)
{
    Resultado result;
    if (contactList.total() == 0) {
        result.estado = Resultado::Status::SinContactos;
        return result;
    }
    const qint64 rows = contactList.total();
    if (rows > kFilasSinPreguntar) {
        const history::AskText ask = [&services](const QString &prompt, const QString &title,
                                                        const QString &fallback) {
            return services.prompter.input(prompt, title, fallback);
        };
        // The answer is taken as typed: blanks around "SI" ask again.
        if (!history::confirmacion_si(ask, preguntaConfirmar(rows), kTituloConfirmar, history::SiRule::Exact,
                                      kRespuestaInicial)) {
            result.estado = Resultado::Status::NoConfirmado;
            return result;
        }
    }

    const std::optional<QString> chosen = services.prompter.saveFile(
        kTituloListado, QDir(folder).filePath(kNombreSugerido), QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        result.estado = Resultado::Status::Cancelado;
        return result;
    }
    result.ruta = xlsx::withXlsxSuffix(*chosen);

    // Each contact goes from the database to the file as it is read: the list is never held whole.
    xlsx::SaveResult saved;
    qint64 written = 0;
    {
        ui::BusyGuard busy(services.busy, QStringLiteral("exportar-listado"));
        xlsx::SheetStream sheet(result.ruta, QStringLiteral("Hoja1"));
        ListadoWriter writer(sheet);
        const bool readBackRows = contactList.recorrer([&writer, &written](const Contacto &c) {
            writer.add(c);
            ++written;
        });
        writer.finish();
        // A list that could not be read whole is not left behind as if it were.
        saved = readBackRows ? sheet.finish()
                          : xlsx::SaveResult{xlsx::SaveResult::Status::Failed,
                                             QStringLiteral("No se ha podido leer la lista de contactos. Inténtelo de "
                                                            "nuevo más tarde."),
                                             QStringLiteral("contact query failed")};
    }
    if (!saved.ok()) {
        result.estado = Resultado::Status::ErrorGuardar;
        services.prompter.message(saved.message, kTituloListado, ui::Icon::Warning);
        return result;
    }
    result.filas = int(written);
    services.prompter.message(kExportacionCompleta, kTituloListado, ui::Icon::Information);
    services.shell.openUrl(QUrl::fromLocalFile(result.ruta).toString());
    return result;
}

} // namespace contacts::exporting
