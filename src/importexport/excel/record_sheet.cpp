#include "importexport/excel/record_sheet.h"

#include "platform/xlsx/xlsx_stream.h"

#include <QFile>

#include <algorithm>
#include <functional>
#include <limits>

namespace importexport::excel {

// Takes a sheet's cells as they come and keeps those a Keep rule asks for.
class SheetKeeper final : public xlsx::SheetVisitor {
public:
    SheetKeeper(RecordSheet &sheet, const RecordSheet::Keep &keep, xlsx::ReadBudget &budget,
                const xlsx::TextTable *shared)
        : m_sheet(sheet), m_keep(keep), m_budget(budget), m_shared(shared),
          m_whole(keep.fields.empty() && (keep.sampleCount == 0 || keep.wholeUpTo > 0))
    {
        m_sheet.m_swapped = keep.swapped;
    }

    bool cell(const xlsx::StreamedCell &cell) override
    {
        if (cell.kind == xlsx::ReadCell::Kind::Empty)
            return true;
        m_sheet.noteUsed(cell.row, cell.column);
        const int record = m_keep.swapped ? cell.column : cell.row;
        const int field = m_keep.swapped ? cell.row : cell.column;
        if (m_keep.sampleCount > 0 && !countForImport(field, cell))
            return false;
        if (!m_keep.fields.empty() && std::find(m_keep.fields.cbegin(), m_keep.fields.cend(), field) == m_keep.fields.cend())
            return true;
        if (m_keep.sampleCount > 0 && !m_whole) {
            const int first = m_keep.swapped ? m_sheet.m_firstColumn : m_sheet.m_firstRow;
            if (record > std::max(first, m_keep.sampleStart) + m_keep.sampleCount - 1)
                return true;
        }
        RecordSheet::KeptCell kept{quint32(cell.row), quint16(cell.column), false, 0};
        if (cell.shared >= 0 && m_shared) {
            kept.shared = true;
            kept.text = quint32(cell.shared);
        } else {
            const qsizetype index = m_sheet.m_own.append(cell.text, m_budget, xlsx::Limit::Cells);
            if (index < 0)
                return false;
            kept.text = quint32(index);
        }
        std::vector<RecordSheet::KeptCell> &cells = m_sheet.m_cells;
        if (cells.size() == cells.capacity()) {
            // The first time, as many as the sample's reading counted; then by doubling.
            const std::size_t grown = cells.capacity() == 0 && m_keep.expectedCells > 0
                                        ? std::size_t(m_keep.expectedCells)
                                        : std::max<std::size_t>(1024, cells.capacity() * 2);
            // While the cells move, the old list and the new one are both held.
            const qint64 cost = qint64(grown * sizeof(RecordSheet::KeptCell));
            const qint64 released = qint64(cells.capacity() * sizeof(RecordSheet::KeptCell));
            if (m_whole && m_keep.sampleCount > 0 && m_keptBytes + cost - released > m_keep.wholeUpTo) {
                // Too many to keep them all: only the sample's, and the import reads again.
                m_whole = false;
                pruneToSample();
                if (cells.size() < cells.capacity())
                    return this->cell(cell);
            }
            if (!m_budget.take(cost, xlsx::Limit::Cells))
                return false;
            m_keptBytes += cost - released;
            cells.reserve(grown);
            m_budget.giveBack(released);
        }
        m_sorted = m_sorted && (cells.empty() || cells.back().row < kept.row
                                || (cells.back().row == kept.row && cells.back().column < kept.column));
        cells.push_back(kept);
        return true;
    }

    // Rows out of order (some writers do it) are put in order; a cell given twice keeps its last
    // value; for the sample, what lies past the window as it finally stands goes. A sheet whose
    // sample reading does not keep it whole is read again for the import: what that reading would
    // hold for the fields that cost most is taken from this reading's budget too, so a sheet the
    // mapping window accepts is one the import can take, whatever is mapped. False when it cannot.
    bool finish()
    {
        std::vector<RecordSheet::KeptCell> &cells = m_sheet.m_cells;
        const auto before = [](const RecordSheet::KeptCell &a, const RecordSheet::KeptCell &b) {
            return a.row < b.row || (a.row == b.row && a.column < b.column);
        };
        if (!m_sorted) {
            std::stable_sort(cells.begin(), cells.end(), before);
            std::vector<RecordSheet::KeptCell> unique;
            unique.reserve(cells.size());
            for (const auto &c : cells) {
                if (!unique.empty() && unique.back().row == c.row && unique.back().column == c.column)
                    unique.back() = c;
                else
                    unique.push_back(c);
            }
            cells.swap(unique);
        }
        if (!m_whole)
            pruneToSample();
        m_sheet.m_whole = m_whole;
        return m_whole || m_keep.sampleCount <= 0 || m_budget.take(importCost(), xlsx::Limit::Cells);
    }

private:
    // Counts a cell holding a value for the import's reading; false when the counts do not fit.
    bool countForImport(int field, const xlsx::StreamedCell &cell)
    {
        std::vector<RecordSheet::FieldCount> &counts = m_sheet.m_fieldCounts;
        if (field < 1)
            return true;
        if (std::size_t(field) >= counts.size()) {
            if (std::size_t(field) >= counts.capacity()) {
                const std::size_t grown = std::max<std::size_t>({64, std::size_t(field) + 1, counts.capacity() * 2});
                const qint64 released = qint64(counts.capacity() * sizeof(RecordSheet::FieldCount));
                if (!m_budget.take(qint64(grown * sizeof(RecordSheet::FieldCount)), xlsx::Limit::Cells))
                    return false;
                counts.reserve(grown);
                m_budget.giveBack(released);
            }
            counts.resize(std::size_t(field) + 1);
        }
        RecordSheet::FieldCount &count = counts[std::size_t(field)];
        ++count.cells;
        if (cell.shared < 0 || !m_shared) {
            ++count.ownCells;
            count.ownCharacters += cell.text.size();
        }
        return true;
    }

    // What the import's reading would hold besides what this reading holds too (the shared texts,
    // the styles): the cells of the seven costliest fields and their own texts, with room for the
    // text table's partly filled pieces.
    qint64 importCost() const
    {
        std::vector<qint64> costs;
        costs.reserve(m_sheet.m_fieldCounts.size());
        for (const RecordSheet::FieldCount &c : m_sheet.m_fieldCounts)
            costs.push_back(qint64(c.cells) * qint64(sizeof(RecordSheet::KeptCell))
                            + qint64(c.ownCells) * xlsx::TextTable::kCostPerText + c.ownCharacters * 2 * 17 / 16);
        const std::size_t mapped = std::min<std::size_t>(costs.size(), kFieldCount);
        std::partial_sort(costs.begin(), costs.begin() + std::ptrdiff_t(mapped), costs.end(), std::greater<>());
        qint64 total = kImportSlack;
        for (std::size_t i = 0; i < mapped; ++i)
            total += costs[i];
        return total;
    }

    // The text table's last piece and block, taken whole whatever they hold.
    static constexpr qint64 kImportSlack = 4LL * 1024 * 1024;

    void pruneToSample()
    {
        if (m_keep.sampleCount <= 0)
            return;
        const int first = m_keep.swapped ? m_sheet.m_firstColumn : m_sheet.m_firstRow;
        const int last = std::max(first, m_keep.sampleStart) + m_keep.sampleCount - 1;
        std::erase_if(m_sheet.m_cells, [&](const RecordSheet::KeptCell &c) {
            return int(m_keep.swapped ? c.column : c.row) > last;
        });
    }

    RecordSheet &m_sheet;
    const RecordSheet::Keep &m_keep;
    xlsx::ReadBudget &m_budget;
    const xlsx::TextTable *m_shared;
    bool m_whole;
    qint64 m_keptBytes = 0;
    bool m_sorted = true;
};

namespace {

RecordSheet::Loaded failed(xlsx::ReadBook::Status status, const QString &path, const xlsx::ReadBudget &budget)
{
    const xlsx::ReadBook failure = xlsx::readFailure(status, path, budget);
    RecordSheet::Loaded loaded;
    loaded.status = status;
    loaded.message = failure.message;
    loaded.limit = failure.limit;
    return loaded;
}

xlsx::StreamedCell streamed(int row, int column, const xlsx::ReadCell &cell)
{
    xlsx::StreamedCell out;
    out.row = row;
    out.column = column;
    out.kind = cell.kind;
    out.text = cell.text;
    out.number = cell.number;
    return out;
}

} // namespace

RecordSheet::RecordSheet(const xlsx::ReadSheet &sheet, bool swapped)
{
    xlsx::ReadBudget unbounded(std::numeric_limits<qint64>::max() / 2);
    Keep keep;
    keep.swapped = swapped;
    SheetKeeper keeper(*this, keep, unbounded, nullptr);
    for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend(); ++it)
        keeper.cell(streamed(it.key().first, it.key().second, *it));
    keeper.finish();
}

RecordSheet::Loaded RecordSheet::load(const QString &path, const Keep &keep, qint64 budgetBytes)
{
    xlsx::ReadBudget budget(budgetBytes);
    QFile file(path);
    const bool isZip = file.open(QIODevice::ReadOnly) && file.read(4) == QByteArrayLiteral("PK\x03\x04");
    file.close();
    Loaded loaded;
    if (!isZip) {
        // A legacy .xls (or anything else) through the whole-file reader, whose sheets are small
        // by the format's own bounds.
        xlsx::ReadBook book = xlsx::readWorkbook(path, xlsx::ReadScope::FirstSheet, budgetBytes);
        if (!book.ok()) {
            loaded.status = book.status;
            loaded.message = book.message;
            loaded.limit = book.limit;
            return loaded;
        }
        if (book.sheets.isEmpty())
            return failed(xlsx::ReadBook::Status::Unreadable, path, budget);
        const xlsx::ReadSheet &sheet = book.sheets.constFirst();
        SheetKeeper keeper(loaded.sheet, keep, budget, nullptr);
        for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend(); ++it)
            if (!keeper.cell(streamed(it.key().first, it.key().second, *it)))
                return failed(xlsx::ReadBook::Status::TooLarge, path, budget);
        if (!keeper.finish())
            return failed(xlsx::ReadBook::Status::TooLarge, path, budget);
        return loaded;
    }

    xlsx::XlsxWorkbook workbook(path, budget);
    if (workbook.status() != xlsx::ReadBook::Status::Ok)
        return failed(workbook.status(), path, budget);
    if (workbook.sheetCount() < 1)
        return failed(xlsx::ReadBook::Status::Unreadable, path, budget);
    loaded.sheet.m_shared = workbook.sharedTextsHandle();
    SheetKeeper keeper(loaded.sheet, keep, budget, &workbook.sharedTexts());
    if (const xlsx::ReadBook::Status status = workbook.readSheet(0, keeper); status != xlsx::ReadBook::Status::Ok)
        return failed(status, path, budget);
    if (!keeper.finish())
        return failed(xlsx::ReadBook::Status::TooLarge, path, budget);
    return loaded;
}

qint64 RecordSheet::cellsOf(const std::vector<int> &fields) const
{
    qint64 cells = 0;
    for (const int field : fields)
        if (field > 0 && std::size_t(field) < m_fieldCounts.size())
            cells += m_fieldCounts[std::size_t(field)].cells;
    return cells;
}

void RecordSheet::noteUsed(int row, int column)
{
    m_firstRow = m_firstRow == 0 ? row : std::min(m_firstRow, row);
    m_firstColumn = m_firstColumn == 0 ? column : std::min(m_firstColumn, column);
    m_lastRow = std::max(m_lastRow, row);
    m_lastColumn = std::max(m_lastColumn, column);
}

bool RecordSheet::isEmpty() const
{
    return m_lastRow < 1 || m_lastColumn < 1;
}

int RecordSheet::usedRows() const
{
    return isEmpty() ? 0 : m_lastRow - m_firstRow + 1;
}

int RecordSheet::usedColumns() const
{
    return isEmpty() ? 0 : m_lastColumn - m_firstColumn + 1;
}

int RecordSheet::firstRecord() const
{
    return m_swapped ? m_firstColumn : m_firstRow;
}

int RecordSheet::lastRecord() const
{
    return m_swapped ? m_lastColumn : m_lastRow;
}

int RecordSheet::firstField() const
{
    return m_swapped ? m_firstRow : m_firstColumn;
}

int RecordSheet::lastField() const
{
    return m_swapped ? m_lastRow : m_lastColumn;
}

QStringView RecordSheet::cellText(int row, int column) const
{
    const auto it = std::lower_bound(m_cells.cbegin(), m_cells.cend(), std::pair{row, column},
                                     [](const KeptCell &c, const std::pair<int, int> &key) {
                                         return int(c.row) < key.first
                                             || (int(c.row) == key.first && int(c.column) < key.second);
                                     });
    if (it == m_cells.cend() || int(it->row) != row || int(it->column) != column)
        return {};
    return it->shared ? (m_shared ? m_shared->at(it->text) : QStringView()) : m_own.at(it->text);
}

QString RecordSheet::text(int record, int field) const
{
    if (record < 1 || field < 1)
        return {};
    return (m_swapped ? cellText(field, record) : cellText(record, field)).toString();
}

QString withoutNbsp(QString text)
{
    text.remove(QChar(0xA0));
    return text;
}

} // namespace importexport::excel
