#pragma once

#include "platform/xlsx/sheet.h"

#include <QList>
#include <QString>

#include <memory>

// Saves sheets as an .xlsx workbook. The workbook is written beside the target under a temporary
// name and only then put in its place, so a failed save never leaves a half-written file behind
// nor destroys a workbook that was there before.
namespace xlsx {

struct SaveResult {
    enum class Status { Ok, FolderMissing, NotWritable, Failed, Incomplete };
    Status status = Status::Ok;
    QString message;        // for the user, in Spanish; empty when saved
    QString detail;         // the library's own words, for logs and tests
    bool ok() const { return status == Status::Ok; }
};

SaveResult save(const QString &path, const QList<Sheet> &sheets);

// One worksheet written to `path` row by row, top to bottom, holding no more than the row at hand:
// a sheet of a million rows costs the memory of one. As save(), the workbook is put in place only
// when finish() succeeds; a stream dropped unfinished leaves nothing behind.
class SheetStream final : public RowTarget {
public:
    SheetStream(const QString &path, const QString &sheetName);
    ~SheetStream() override;
    SheetStream(const SheetStream &) = delete;
    SheetStream &operator=(const SheetStream &) = delete;

    // Rows must come in ascending order; a row at or above one already written is refused (the
    // stream then fails at finish()).
    void writeRow(int row, const RowCells &cells, const QList<Range> &merges = {}) override;
    void setColumnWidth(int column, double width) override;
    SaveResult finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The name a file picker's answer is saved under: ".xlsx" is added when the user left it out.
QString withXlsxSuffix(const QString &path);

} // namespace xlsx
