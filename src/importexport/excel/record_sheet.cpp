#include "importexport/excel/record_sheet.h"

namespace importexport::excel {

RecordSheet::RecordSheet(xlsx::ReadSheet sheet, bool swapped) : m_sheet(std::move(sheet)), m_swapped(swapped) {}

bool RecordSheet::isEmpty() const
{
    return m_sheet.lastRow < 1 || m_sheet.lastColumn < 1;
}

int RecordSheet::usedRows() const
{
    return isEmpty() ? 0 : m_sheet.lastRow - m_sheet.firstRow + 1;
}

int RecordSheet::usedColumns() const
{
    return isEmpty() ? 0 : m_sheet.lastColumn - m_sheet.firstColumn + 1;
}

int RecordSheet::firstRecord() const
{
    return m_swapped ? m_sheet.firstColumn : m_sheet.firstRow;
}

int RecordSheet::lastRecord() const
{
    return m_swapped ? m_sheet.lastColumn : m_sheet.lastRow;
}

int RecordSheet::firstField() const
{
    return m_swapped ? m_sheet.firstRow : m_sheet.firstColumn;
}

int RecordSheet::lastField() const
{
    return m_swapped ? m_sheet.lastRow : m_sheet.lastColumn;
}

QString RecordSheet::text(int record, int field) const
{
    if (record < 1 || field < 1)
        return {};
    return m_swapped ? m_sheet.text(field, record) : m_sheet.text(record, field);
}

QString withoutNbsp(QString text)
{
    text.remove(QChar(0xA0));
    return text;
}

} // namespace importexport::excel
