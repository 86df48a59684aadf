#pragma once

#include "importexport/excel/record_sheet.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The mapping window's rules: the five-record sample, the items of the mapping and sample combos,
// the remembered choice and the turn of a chosen item back into a column (or row) number.
namespace importexport::excel {

inline constexpr int kSampleRecords = 5;
// The sample never starts beyond this record of the sheet.
inline constexpr int kLastSampleStart = 10;
// Columns looked at to find the first record with data: the first used one and the ten after it.
inline constexpr int kSampleStartColumns = 11;
// The combos offer at most this many columns.
inline constexpr int kMaxDataColumns = 51;
inline constexpr int kSampleWidth = 250;

inline const QString kDoNotSave = QStringLiteral("No guardar");

struct DataColumn {
    int number = 0;           // sheet column (row when swapped)
    QStringList values;       // one per sample record
};

struct Sample {
    int firstRecord = 0;      // the sample's first record
    QList<DataColumn> columns;
};

Sample buildSample(const RecordSheet &sheet);

// A sheet whose cells fit in this many bytes (about 2.8 million cells) is kept whole when the
// sample is read, and imported without reading it again.
inline constexpr qint64 kWholeSheetBytes = 32LL * 1024 * 1024;

// What the mapping window keeps of the sheet: the records the sample may show; then, for the
// import, the mapped fields of every record.
RecordSheet::Keep sampleKeep(bool swapped);
RecordSheet::Keep importKeep(bool swapped, const FieldColumns &columns);

// "<rows> filas por <columns> columnas"
QString sheetSizeText(const RecordSheet &sheet);

// "A" ... "Z", "AA" ...: the sheet's own column headings.
QString columnName(int column);
// The heading's letters back to the column number (bijective base 26): "A" 1, "AB" 28, "AZ" 52;
// 0 for anything that is not letters.
int columnNumber(const QString &letters);

// "Columna C" or "Fila 3".
QString columnLabel(int number, bool swapped);

// Whether the field's combos start with "No guardar" (every field but name and phone).
bool allowsDoNotSave(int field);

QStringList mappingItems(int field, const Sample &sample, bool swapped);
// The same positions as the mapping items, each with the sample record's value.
QStringList sampleItems(int field, const Sample &sample, int sampleRecord, bool swapped);

// The list index the mapping combo starts on: the remembered one when it is a number, else the
// field's own number; the first item when that lies beyond the list.
int initialIndex(int field, const QVariant &remembered, int itemCount);

// What a chosen mapping item reads from: "No guardar" gives 0, "Columna AB" 28, "Fila 7" 7.
int numberFromItem(const QString &item, bool swapped);

} // namespace importexport::excel
