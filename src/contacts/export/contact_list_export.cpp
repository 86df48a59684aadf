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

xlsx::Sheet hojaListado(const std::vector<Contacto> &contactos)
{
    xlsx::Sheet hoja;
    const QStringList titulos = cabeceras();
    hoja.setTextRow(kFilaCabecera, kPrimeraColumna, titulos);
    hoja.styleRange({kFilaCabecera, kPrimeraColumna, kFilaCabecera, kPrimeraColumna + int(titulos.size()) - 1},
                    [](xlsx::Style &st) { st.bold = true; });
    int fila = kPrimeraFila;
    for (const Contacto &c : contactos) {
        hoja.setTypedRow(fila, kPrimeraColumna,
                         {c.nombre, c.telefono, c.nombre_completo, c.direccion, c.telefono_2, c.comentario});
        // Birth dates are kept "yyyy-MM-dd"; anything else there goes in as typed.
        const QDate nacimiento = QDate::fromString(c.f_nacimiento.left(10), QStringLiteral("yyyy-MM-dd"));
        if (nacimiento.isValid())
            hoja.setDate(fila, kUltimaColumna, nacimiento, kFormatoFecha);
        else if (!c.f_nacimiento.isEmpty())
            hoja.setTyped(fila, kUltimaColumna, c.f_nacimiento);
        ++fila;
    }
    hoja.fitColumns(kPrimeraColumna, kUltimaColumna, kFilaCabecera);
    return hoja;
}

Resultado exportarListado(Servicios servicios, const std::vector<Contacto> &contactos, const QString &carpeta)
{
    Resultado resultado;
    if (contactos.empty()) {
        resultado.estado = Resultado::Estado::SinContactos;
        return resultado;
    }
    const qint64 filas = qint64(contactos.size());
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

    xlsx::SaveResult guardado;
    {
        ui::BusyGuard busy(servicios.busy, QStringLiteral("exportar-listado"));
        guardado = xlsx::save(resultado.ruta, {hojaListado(contactos)});
    }
    if (!guardado.ok()) {
        resultado.estado = Resultado::Estado::ErrorGuardar;
        servicios.prompter.message(guardado.message, kTituloListado, ui::Icon::Warning);
        return resultado;
    }
    resultado.filas = int(filas);
    servicios.prompter.message(kExportacionCompleta, kTituloListado, ui::Icon::Information);
    servicios.shell.openUrl(QUrl::fromLocalFile(resultado.ruta).toString());
    return resultado;
}

} // namespace contacts::exporting
