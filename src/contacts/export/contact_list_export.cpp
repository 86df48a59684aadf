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

const QString kFormatoFecha = QStringLiteral("dd/mm/yyyy");

} // namespace

QStringList cabeceras()
{
    return {QStringLiteral("Nombre"),     QStringLiteral("Telefono"),      QStringLiteral("Nombre Completo"),
            QStringLiteral("Direccion"),  QStringLiteral("Otro telefono"), QStringLiteral("Comentario"),
            QStringLiteral("Fecha de nacimiento")};
}

QString preguntaConfirmar(qint64 filas)
{
    return QStringLiteral("Se van a exportar a Excel ") + QString::number(filas)
        + QStringLiteral(" contactos, y llevará un tiempo procesar los datos. Está seguro que desea continuar?");
}

void ListadoWriter::cabecera()
{
    const QStringList titulos = cabeceras();
    xlsx::RowCells celdas;
    for (int i = 0; i < titulos.size(); ++i) {
        xlsx::Cell celda{titulos.at(i), {}};
        celda.style.bold = true;
        celdas.emplace_back(kPrimeraColumna + i, celda);
    }
    escribir(kFilaCabecera, celdas);
}

void ListadoWriter::add(const Contacto &c)
{
    // Each value as typed in; an empty field leaves its cell empty.
    xlsx::RowCells celdas;
    const QString textos[] = {c.nombre, c.telefono, c.nombre_completo, c.direccion, c.telefono_2, c.comentario};
    for (int i = 0; i < 6; ++i)
        if (!textos[i].isEmpty())
            celdas.emplace_back(kPrimeraColumna + i, xlsx::typedCell(textos[i]));
    // Birth dates are kept "yyyy-MM-dd"; anything else there goes in as typed.
    const QDate nacimiento = QDate::fromString(c.f_nacimiento.left(10), QStringLiteral("yyyy-MM-dd"));
    if (nacimiento.isValid())
        celdas.emplace_back(kUltimaColumna, xlsx::dateCell(nacimiento, kFormatoFecha));
    else if (!c.f_nacimiento.isEmpty())
        celdas.emplace_back(kUltimaColumna, xlsx::typedCell(c.f_nacimiento));
    escribir(m_fila++, celdas);
}

void ListadoWriter::escribir(int fila, const xlsx::RowCells &celdas)
{
    m_ajuste.note(celdas, kPrimeraColumna, kUltimaColumna);
    m_destino.writeRow(fila, celdas);
}

void ListadoWriter::finish()
{
    for (auto it = m_ajuste.widths().cbegin(); it != m_ajuste.widths().cend(); ++it)
        m_destino.setColumnWidth(it.key(), it.value());
}

xlsx::Sheet hojaListado(const std::vector<Contacto> &contactos)
{
    xlsx::Sheet hoja;
    xlsx::SheetRows filas(hoja);
    ListadoWriter escritor(filas);
    for (const Contacto &c : contactos)
        escritor.add(c);
    escritor.finish();
    return hoja;
}

Resultado exportarListado(Servicios servicios, const RegistrosAgenda &contactos, const QString &carpeta)
{
    Resultado resultado;
    if (contactos.total() == 0) {
        resultado.estado = Resultado::Estado::SinContactos;
        return resultado;
    }
    const qint64 filas = contactos.total();
    if (filas > kFilasSinPreguntar) {
        const history::AskText preguntar = [&servicios](const QString &prompt, const QString &title,
                                                        const QString &defecto) {
            return servicios.prompter.input(prompt, title, defecto);
        };
        // The answer is taken as typed: blanks around "SI" ask again.
        if (!history::confirmacion_si(preguntar, preguntaConfirmar(filas), kTituloConfirmar, history::SiRule::Exact,
                                      kRespuestaInicial)) {
            resultado.estado = Resultado::Estado::NoConfirmado;
            return resultado;
        }
    }

    const std::optional<QString> elegido = servicios.prompter.saveFile(
        kTituloListado, QDir(carpeta).filePath(kNombreSugerido), QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!elegido || elegido->trimmed().isEmpty()) {
        resultado.estado = Resultado::Estado::Cancelado;
        return resultado;
    }
    resultado.ruta = xlsx::withXlsxSuffix(*elegido);

    // Each contact goes from the database to the file as it is read: the list is never held whole.
    xlsx::SaveResult guardado;
    qint64 escritas = 0;
    {
        ui::BusyGuard busy(servicios.busy, QStringLiteral("exportar-listado"));
        xlsx::SheetStream hoja(resultado.ruta, QStringLiteral("Hoja1"));
        ListadoWriter escritor(hoja);
        const bool leidos = contactos.recorrer([&escritor, &escritas](const Contacto &c) {
            escritor.add(c);
            ++escritas;
        });
        escritor.finish();
        // A list that could not be read whole is not left behind as if it were.
        guardado = leidos ? hoja.finish()
                          : xlsx::SaveResult{xlsx::SaveResult::Status::Failed,
                                             QStringLiteral("No se ha podido leer la lista de contactos. Inténtelo de "
                                                            "nuevo más tarde."),
                                             QStringLiteral("contact query failed")};
    }
    if (!guardado.ok()) {
        resultado.estado = Resultado::Estado::ErrorGuardar;
        servicios.prompter.message(guardado.message, kTituloListado, ui::Icon::Warning);
        return resultado;
    }
    resultado.filas = int(escritas);
    servicios.prompter.message(kExportacionCompleta, kTituloListado, ui::Icon::Information);
    servicios.shell.openUrl(QUrl::fromLocalFile(resultado.ruta).toString());
    return resultado;
}

} // namespace contacts::exporting
