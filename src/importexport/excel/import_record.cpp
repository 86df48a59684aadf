#include "importexport/excel/import_record.h"

#include "importexport/phone_number.h"

#include <QStringList>

namespace importexport::excel {

namespace {

QString cell(const RecordSheet &sheet, int registro, int columna, int ancho)
{
    if (columna <= 0)
        return {};
    return sheet.text(registro, columna).trimmed().left(ancho);
}

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

bool pasaPruebaMovil(const QString &telefono)
{
    if (!allDigits(telefono))
        return false;
    return !(telefono.size() == 9 && (telefono.front() == u'9' || telefono.front() == u'8'));
}

std::optional<QDate> fechaValida(const QString &texto)
{
    QString text = texto.trimmed();
    // A date cell with a time of day reads "dd/MM/yyyy hh:mm:ss": the day is what counts.
    if (const qsizetype blank = text.indexOf(u' '); blank > 0)
        text = text.left(blank);
    if (text.isEmpty())
        return std::nullopt;
    static const QStringList formats{QStringLiteral("dd/MM/yyyy"), QStringLiteral("d/M/yyyy"),
                                     QStringLiteral("dd-MM-yyyy"), QStringLiteral("d-M-yyyy"),
                                     QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/MM/dd")};
    for (const QString &format : formats) {
        const QDate date = QDate::fromString(text, format);
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

QString fechaParaMostrar(const QString &almacenada)
{
    const QDate date = QDate::fromString(almacenada, QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : almacenada;
}

Registro leerRegistro(const RecordSheet &sheet, int registro, const Columnas &columnas)
{
    Registro r;
    Contacto &c = r.contacto;
    c.nombre = cell(sheet, registro, columnas[Nombre], kAnchoTexto);
    c.telefono = cell(sheet, registro, columnas[Telefono], kAnchoTelefono);
    c.nombre_completo = cell(sheet, registro, columnas[NombreCompleto], kAnchoTexto);
    c.direccion = cell(sheet, registro, columnas[Direccion], kAnchoTexto);
    c.telefono_2 = cell(sheet, registro, columnas[Telefono2], kAnchoTelefono);
    c.comentario = cell(sheet, registro, columnas[Comentario], kAnchoTexto);
    const QString fecha = cell(sheet, registro, columnas[FNacimiento], kAnchoTelefono);

    c.telefono = withoutNbsp(c.telefono);
    c.telefono_2 = withoutNbsp(c.telefono_2);

    const std::optional<QDate> nacimiento = fechaValida(fecha);
    c.f_nacimiento = nacimiento ? nacimiento->toString(QStringLiteral("yyyy-MM-dd")) : QString();

    if (c.nombre_completo.isEmpty() && columnas[NombreCompleto] > 0 && !c.nombre.isEmpty())
        c.nombre_completo = c.nombre;

    f_normalizar_telefono(c.telefono);
    f_normalizar_telefono(c.telefono_2);

    // A landline in the phone column and a mobile in the other: the mobile becomes the phone.
    if (!pasaPruebaMovil(c.telefono)) {
        std::swap(c.telefono, c.telefono_2);
        if (!pasaPruebaMovil(c.telefono)) {
            c.telefono.clear();
            c.telefono_2.clear();
        }
    }

    r.valido = !c.nombre.isEmpty() && c.telefono.size() > 7;
    return r;
}

bool tieneNombreYTelefono(const RecordSheet &sheet, int registro, const Columnas &columnas)
{
    if (cell(sheet, registro, columnas[Nombre], kAnchoTexto).isEmpty())
        return false;
    return !withoutNbsp(cell(sheet, registro, columnas[Telefono], kAnchoTelefono)).trimmed().isEmpty()
        || !withoutNbsp(cell(sheet, registro, columnas[Telefono2], kAnchoTelefono)).trimmed().isEmpty();
}

} // namespace importexport::excel
