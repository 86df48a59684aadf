#include "importexport/excel/column_mapping.h"

#include "platform/xlsx/sheet.h"

namespace importexport::excel {

namespace {

QString sampleText(const RecordSheet &sheet, int record, int field)
{
    return withoutNbsp(sheet.text(record, field).left(kSampleWidth).trimmed());
}

} // namespace

Sample buildSample(const RecordSheet &sheet)
{
    Sample sample;
    if (sheet.isEmpty())
        return sample;
    const int firstField = sheet.firstField();
    const int lastField = sheet.lastField();

    int start = sheet.firstRecord();
    const auto hasText = [&](int record) {
        const int last = std::min(lastField, firstField + kSampleStartColumns - 1);
        for (int field = firstField; field <= last; ++field)
            if (!sampleText(sheet, record, field).isEmpty())
                return true;
        return false;
    };
    while (!hasText(start) && start < kLastSampleStart)
        ++start;
    sample.firstRecord = start;

    for (int field = firstField; field <= lastField && sample.columns.size() < kMaxDataColumns; ++field) {
        DataColumn column{field, {}};
        bool any = false;
        for (int r = 0; r < kSampleRecords; ++r) {
            column.values << sampleText(sheet, start + r, field);
            any = any || !column.values.constLast().isEmpty();
        }
        if (any)
            sample.columns << column;
    }
    return sample;
}

RecordSheet::Keep sampleKeep(bool swapped)
{
    RecordSheet::Keep keep;
    keep.swapped = swapped;
    keep.sampleStart = kLastSampleStart;
    keep.sampleCount = kSampleRecords;
    keep.wholeUpTo = kWholeSheetBytes;
    return keep;
}

RecordSheet::Keep importKeep(bool swapped, const FieldColumns &columns)
{
    RecordSheet::Keep keep;
    keep.swapped = swapped;
    for (const int field : columns)
        if (field > 0)
            keep.fields.push_back(field);
    // Nothing mapped keeps nothing: no field numbered 0 exists.
    if (keep.fields.empty())
        keep.fields.push_back(0);
    return keep;
}

QString sheetSizeText(const RecordSheet &sheet)
{
    return QString::number(sheet.usedRows()) + QStringLiteral(" filas por ") + QString::number(sheet.usedColumns())
         + QStringLiteral(" columnas");
}

QString columnName(int column)
{
    return xlsx::columnName(column);
}

int columnNumber(const QString &letters)
{
    if (letters.isEmpty() || letters.size() > 6)
        return 0;
    int number = 0;
    for (const QChar c : letters) {
        const QChar upper = c.toUpper();
        if (upper < u'A' || upper > u'Z')
            return 0;
        number = number * 26 + (upper.unicode() - u'A' + 1);
    }
    return number;
}

QString columnLabel(int number, bool swapped)
{
    return swapped ? QStringLiteral("Fila ") + QString::number(number) : QStringLiteral("Columna ") + columnName(number);
}

bool allowsDoNotSave(int field)
{
    return field >= FullName;
}

QStringList mappingItems(int field, const Sample &sample, bool swapped)
{
    QStringList items;
    if (allowsDoNotSave(field))
        items << kDoNotSave;
    for (const DataColumn &column : sample.columns)
        items << columnLabel(column.number, swapped);
    return items;
}

QStringList sampleItems(int field, const Sample &sample, int sampleRecord, bool swapped)
{
    QStringList items;
    if (allowsDoNotSave(field))
        items << kDoNotSave;
    for (const DataColumn &column : sample.columns)
        items << columnLabel(column.number, swapped) + QStringLiteral(": ") + column.values.value(sampleRecord);
    return items;
}

int initialIndex(int field, const QVariant &remembered, int itemCount)
{
    int index = field;
    if (remembered.isValid() && !remembered.isNull()) {
        bool numeric = false;
        const int stored = remembered.toString().trimmed().toInt(&numeric);
        if (numeric)
            index = stored;
    }
    return index >= 0 && index < itemCount ? index : 0;
}

int numberFromItem(const QString &item, bool swapped)
{
    if (item == kDoNotSave)
        return 0;
    const QString rest = item.mid(item.lastIndexOf(u' ') + 1).trimmed().toUpper();
    if (rest.isEmpty())
        return 0;
    if (swapped) {
        bool ok = false;
        const int row = rest.toInt(&ok);
        return ok && row > 0 ? row : 0;
    }
    return columnNumber(rest);
}

} // namespace importexport::excel
