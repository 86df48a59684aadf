#include "importexport/excel/import_record.h"

#include "importexport/phone_number.h"

#include <QStringList>

namespace importexport::excel {

namespace {

QString cell(const RecordSheet &sheet, int record, int column, int width)
{
    if (column <= 0)
        return {};
    return sheet.text(record, column).trimmed().left(width);
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

bool pasaPruebaMovil(const QString &phone)
{
    if (!allDigits(phone))
        return false;
    return !(phone.size() == 9 && (phone.front() == u'9' || phone.front() == u'8'));
}

std::optional<QDate> fechaValida(const QString &raw)
{
    QString text = raw.trimmed();
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

QString fechaParaMostrar(const QString &stored)
{
    const QDate date = QDate::fromString(stored, QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : stored;
}

Registro leerRegistro(const RecordSheet &sheet, int record, const Columnas &columns)
{
    Registro r;
    Contacto &c = r.contacto;
    c.nombre = cell(sheet, record, columns[Nombre], kAnchoTexto);
    c.telefono = cell(sheet, record, columns[Telefono], kAnchoTelefono);
    c.nombre_completo = cell(sheet, record, columns[NombreCompleto], kAnchoTexto);
    c.direccion = cell(sheet, record, columns[Direccion], kAnchoTexto);
    c.telefono_2 = cell(sheet, record, columns[Telefono2], kAnchoTelefono);
    c.comentario = cell(sheet, record, columns[Comentario], kAnchoTexto);
    const QString dateText = cell(sheet, record, columns[FNacimiento], kAnchoTelefono);

    c.telefono = withoutNbsp(c.telefono);
    c.telefono_2 = withoutNbsp(c.telefono_2);

    const std::optional<QDate> birth = fechaValida(dateText);
    c.f_nacimiento = birth ? birth->toString(QStringLiteral("yyyy-MM-dd")) : QString();

    if (c.nombre_completo.isEmpty() && columns[NombreCompleto] > 0 && !c.nombre.isEmpty())
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

bool tieneNombreYTelefono(const RecordSheet &sheet, int record, const Columnas &columns)
{
    if (cell(sheet, record, columns[Nombre], kAnchoTexto).isEmpty())
        return false;
    return !withoutNbsp(cell(sheet, record, columns[Telefono], kAnchoTelefono)).trimmed().isEmpty()
        || !withoutNbsp(cell(sheet, record, columns[Telefono2], kAnchoTelefono)).trimmed().isEmpty();
}

} // namespace importexport::excel
