#pragma once

#include "platform/xlsx/read_book.h"

#include <QString>

#include <array>

// The first sheet of the workbook being imported, seen as records and fields: normally a record is
// a row and a field a column; with "Intercambiar filas/columnas" a record is a column and a field
// a row.
namespace importexport::excel {

// The contact fields in the order every window and table of the Excel import uses.
enum ContactField { Name = 0, Phone, FullName, Address, OtherPhone, Comment, BirthDate };
inline constexpr int kFieldCount = 7;

// For each field the sheet column (or row, when swapped) it is read from; 0: not imported.
using FieldColumns = std::array<int, kFieldCount>;

class RecordSheet final {
public:
    RecordSheet() = default;
    explicit RecordSheet(xlsx::ReadSheet sheet, bool swapped = false);

    bool swapped() const { return m_swapped; }
    void setSwapped(bool swapped) { m_swapped = swapped; }

    // Nothing in the sheet: no record and no field.
    bool isEmpty() const;
    int usedRows() const;
    int usedColumns() const;

    int firstRecord() const;
    int lastRecord() const;
    int firstField() const;
    int lastField() const;

    // The cell of a record's field as the user reads it (numbers in full, dates dd/MM/yyyy);
    // empty for a field number of 0 or below.
    QString text(int record, int field) const;

    const xlsx::ReadSheet &sheet() const { return m_sheet; }

private:
    xlsx::ReadSheet m_sheet;
    bool m_swapped = false;
};

// Non-breaking spaces come from web pages pasted into a sheet; they are never part of a value.
QString withoutNbsp(QString text);

} // namespace importexport::excel
