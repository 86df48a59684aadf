#include "platform/xlsx/xls_extract.h"

#include "platform/xlsx/xls_grid.h"
#include "platform/xlsx/xls_rows.h"

#include <QDate>
#include <QTime>
#include <QFile>

#include <freexl.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace xlsx {

namespace {

// freexl wants its handle closed even when opening failed.
struct HandleCloser {
    void operator()(const void *handle) const
    {
        if (handle)
            freexl_close(handle);
    }
};
using Handle = std::unique_ptr<const void, HandleCloser>;

// freexl hands dates over as "yyyy-MM-dd" and "yyyy-MM-dd hh:mm:ss" texts. They are read as
// plain calendar values: no time zone, so no daylight-saving change can shift or refuse one.
void setDate(ReadCell &cell, const char *text)
{
    const QString raw = QString::fromLatin1(text ? text : "");
    const QDate date = QDate::fromString(raw.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = raw.size() > 10 ? QTime::fromString(raw.mid(11), QStringLiteral("hh:mm:ss")) : QTime(0, 0);
    if (!date.isValid() || !time.isValid()) {
        cell.kind = ReadCell::Kind::Text;
        cell.text = raw;
        return;
    }
    cell.kind = ReadCell::Kind::Date;
    cell.number = double(QDate(1899, 12, 30).daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
    cell.text = date.toString(QStringLiteral("dd/MM/yyyy"));
    if (time != QTime(0, 0))
        cell.text += time.toString(QStringLiteral(" hh:mm:ss"));
}

ReadCell cellOf(const FreeXL_CellValue &value)
{
    ReadCell cell;
    switch (value.type) {
    case FREEXL_CELL_INT:
        cell.kind = ReadCell::Kind::Number;
        cell.number = value.value.int_value;
        cell.text = QString::number(value.value.int_value);
        break;
    case FREEXL_CELL_DOUBLE:
        cell.kind = ReadCell::Kind::Number;
        cell.number = value.value.double_value;
        cell.text = generalNumberText(cell.number);
        break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        cell.kind = ReadCell::Kind::Text;
        cell.text = QString::fromUtf8(value.value.text_value ? value.value.text_value : "");
        break;
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
        setDate(cell, value.value.text_value);
        break;
    case FREEXL_CELL_TIME:
        cell.kind = ReadCell::Kind::Text;
        cell.text = QString::fromLatin1(value.value.text_value ? value.value.text_value : "");
        break;
    default:
        break;
    }
    return cell;
}

} // namespace

ExtractResult extractXls(const QString &path, ReadScope scope, qint64 budget,
                         const std::function<void(const QByteArray &)> &write)
{
    // The library allocates every declared grid as it opens the file, before anything here can
    // look: the declared sizes are judged first. A file whose stream cannot be walked is left to
    // the library, under the helper's cap on its memory.
    const DeclaredGrid grid = declaredXlsGrid(path);
    if (grid.pastExcel)
        return {ReadBook::Status::TooLarge, Limit::ExcelBounds};
    if (grid.known && grid.cells > budget / kLibraryCellBytes)
        return {ReadBook::Status::TooLarge, Limit::Cells};

    const void *raw = nullptr;
    const int opened = freexl_open(QFile::encodeName(path).constData(), &raw);
    Handle handle(raw);
    if (opened == FREEXL_FILE_NOT_FOUND)
        return {ReadBook::Status::NotFound};
    if (opened == FREEXL_INSUFFICIENT_MEMORY)
        return {ReadBook::Status::TooLarge, Limit::Cells};
    if (opened != FREEXL_OK)
        return {ReadBook::Status::Unreadable};

    unsigned int info = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return {ReadBook::Status::Protected};
    unsigned int sheetCount = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK)
        return {ReadBook::Status::Unreadable};

    if (scope == ReadScope::FirstSheet)
        sheetCount = std::min(sheetCount, 1u);
    // freexl hands every cell of a shared text the same string of its own table: each such text
    // goes out once, and its cells refer to it by number.
    std::unordered_map<const char *, quint32> sharedTexts;
    for (unsigned int index = 0; index < sheetCount && index <= 0xFFFF; ++index) {
        const auto sheetIndex = static_cast<unsigned short>(index);
        const char *name = nullptr;
        QString sheetName;
        if (freexl_get_worksheet_name(raw, sheetIndex, &name) == FREEXL_OK && name)
            sheetName = QString::fromUtf8(name);
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(raw, sheetIndex) != FREEXL_OK
            || freexl_worksheet_dimensions(raw, &rows, &columns) != FREEXL_OK)
            return {ReadBook::Status::Unreadable};
        // Excel's own limits for these files: 65,536 rows of 256 columns.
        if (rows > 65536 || columns > 256)
            return {ReadBook::Status::TooLarge, Limit::ExcelBounds};
        write(xlsrows::sheet(sheetName));
        for (unsigned int r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue value{};
                if (freexl_get_cell_value(raw, r, c, &value) != FREEXL_OK)
                    continue;
                if (value.type == FREEXL_CELL_SST_TEXT && value.value.text_value) {
                    const auto [known, added] = sharedTexts.try_emplace(value.value.text_value,
                                                                       quint32(sharedTexts.size()));
                    if (added)
                        write(xlsrows::sharedText(QString::fromUtf8(value.value.text_value)));
                    write(xlsrows::sharedCell(int(r) + 1, int(c) + 1, known->second));
                    continue;
                }
                const ReadCell cell = cellOf(value);
                if (cell.kind == ReadCell::Kind::Empty)
                    continue;
                write(xlsrows::cell(int(r) + 1, int(c) + 1, cell));
            }
        }
    }
    return {ReadBook::Status::Ok};
}

} // namespace xlsx
