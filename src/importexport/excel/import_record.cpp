#include "importexport/excel/import_record.h"

#include "importexport/phone_number.h"
#include "platform/text/digits.h"

#include <QStringList>

namespace importexport::excel {

namespace {

QString cell(const RecordSheet &sheet, int record, int column, int width)
{
    if (column <= 0)
        return {};
    return sheet.text(record, column).trimmed().left(width);
}

} // namespace

bool passesMobileTest(const QString &phone)
{
    if (!text::isDigitsOnly(phone))
        return false;
    return !(phone.size() == 9 && (phone.front() == u'9' || phone.front() == u'8'));
}

std::optional<QDate> parseDate(const QString &raw)
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

QString dateForDisplay(const QString &stored)
{
    const QDate date = QDate::fromString(stored, QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : stored;
}

Record readRecord(const RecordSheet &sheet, int record, const FieldColumns &columns)
{
    Record r;
    Contact &c = r.contact;
    c.name = cell(sheet, record, columns[Name], kTextWidth);
    c.phone = cell(sheet, record, columns[Phone], kPhoneWidth);
    c.fullName = cell(sheet, record, columns[FullName], kTextWidth);
    c.address = cell(sheet, record, columns[Address], kTextWidth);
    c.otherPhone = cell(sheet, record, columns[OtherPhone], kPhoneWidth);
    c.comment = cell(sheet, record, columns[Comment], kTextWidth);
    const QString dateText = cell(sheet, record, columns[BirthDate], kPhoneWidth);

    c.phone = withoutNbsp(c.phone);
    c.otherPhone = withoutNbsp(c.otherPhone);

    const std::optional<QDate> birth = parseDate(dateText);
    c.birthDate = birth ? birth->toString(QStringLiteral("yyyy-MM-dd")) : QString();

    if (c.fullName.isEmpty() && columns[FullName] > 0 && !c.name.isEmpty())
        c.fullName = c.name;

    normalizePhone(c.phone);
    normalizePhone(c.otherPhone);

    // A landline in the phone column and a mobile in the other: the mobile becomes the phone.
    if (!passesMobileTest(c.phone)) {
        std::swap(c.phone, c.otherPhone);
        if (!passesMobileTest(c.phone)) {
            c.phone.clear();
            c.otherPhone.clear();
        }
    }

    r.valid = !c.name.isEmpty() && c.phone.size() > 7;
    return r;
}

bool hasNameAndPhone(const RecordSheet &sheet, int record, const FieldColumns &columns)
{
    if (cell(sheet, record, columns[Name], kTextWidth).isEmpty())
        return false;
    return !withoutNbsp(cell(sheet, record, columns[Phone], kPhoneWidth)).trimmed().isEmpty()
        || !withoutNbsp(cell(sheet, record, columns[OtherPhone], kPhoneWidth)).trimmed().isEmpty();
}

} // namespace importexport::excel
