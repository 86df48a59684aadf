#pragma once

#include "platform/xlsx/read_book.h"
#include "platform/xlsx/read_budget.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

// The first sheet of the workbook being imported, seen as records and fields: normally a record is
// a row and a field a column; with "Intercambiar filas/columnas" a record is a column and a field
// a row.
//
// Only the cells a step needs are held, in a compact form (a shared text is its number in the
// workbook's table of texts): the sample's few records while the user maps the columns, then the
// mapped fields of every record for the import. The sheet is read again for each, as it inflates,
// so a sheet at Excel's own limits costs about its texts, not all its cells.
namespace importexport::excel {

// The contact fields in the order every window and table of the Excel import uses.
enum ContactField { Name = 0, Phone, FullName, Address, OtherPhone, Comment, BirthDate };
inline constexpr int kFieldCount = 7;

// For each field the sheet column (or row, when swapped) it is read from; 0: not imported.
using FieldColumns = std::array<int, kFieldCount>;

class RecordSheet final {
public:
    // Which cells a reading keeps.
    struct Keep {
        bool swapped = false;
        // Keep only the records from the first used one up to max(first used, sampleStart) +
        // sampleCount - 1: what the sample may show.
        int sampleStart = 0;
        int sampleCount = 0;
        // Keep only these fields (the mapped ones); empty: every field.
        std::vector<int> fields;
        // With a sample window: keep every cell instead while they cost at most this many bytes,
        // so a small sheet is read once for both the sample and the import.
        qint64 wholeUpTo = 0;
        // The cells the kept fields held when the sheet was first read: the list is taken at that
        // size at once, as the first reading counted it, instead of growing by doubling.
        qint64 expectedCells = 0;
    };
    struct Loaded;

    RecordSheet() = default;
    // Every cell of a sheet already read whole.
    explicit RecordSheet(const xlsx::ReadSheet &sheet, bool swapped = false);

    // The first sheet of the workbook at `path`, keeping what `keep` says, within `budget` bytes.
    static Loaded load(const QString &path, const Keep &keep, qint64 budget = xlsx::kMemoryBudget);

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
    // empty for a field number of 0 or below, and for a cell the reading did not keep.
    QString text(int record, int field) const;

    // How many cells are held.
    qsizetype heldCells() const { return qsizetype(m_cells.size()); }
    // Every cell of the sheet is held: it serves the import, in either orientation, as it is.
    bool holdsEverything() const { return m_whole; }
    // How many cells holding a value `fields` have, as the sample's reading counted them.
    qint64 cellsOf(const std::vector<int> &fields) const;

private:
    friend class SheetKeeper;
    struct KeptCell {
        quint32 row;
        quint16 column;
        bool shared;
        quint32 text;
    };
    // What the import would hold of one field: its cells holding a value, and the characters of
    // those whose text is their own (not a shared text).
    struct FieldCount {
        quint32 cells = 0;
        quint32 ownCells = 0;
        qint64 ownCharacters = 0;
    };
    QStringView cellText(int row, int column) const;
    void noteUsed(int row, int column);

    int m_firstRow = 0;
    int m_firstColumn = 0;
    int m_lastRow = 0;
    int m_lastColumn = 0;
    bool m_swapped = false;
    bool m_whole = false;
    std::shared_ptr<const xlsx::TextTable> m_shared;
    xlsx::TextTable m_own;
    std::vector<KeptCell> m_cells;      // by row, then column
    std::vector<FieldCount> m_fieldCounts;  // by field, from the sample's reading
};

struct RecordSheet::Loaded {
    xlsx::ReadBook::Status status = xlsx::ReadBook::Status::Ok;
    QString message;                // for the user, when not Ok
    xlsx::Limit limit = xlsx::Limit::None;
    RecordSheet sheet;
    bool ok() const { return status == xlsx::ReadBook::Status::Ok; }
};

// Non-breaking spaces come from web pages pasted into a sheet; they are never part of a value.
QString withoutNbsp(QString text);

} // namespace importexport::excel
