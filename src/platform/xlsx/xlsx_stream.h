#pragma once

#include "platform/xlsx/read_book.h"
#include "platform/xlsx/read_budget.h"

#include <QString>

#include <memory>
#include <vector>

// An .xlsx workbook read a sheet at a time, its cells handed over one by one as the sheet's XML
// inflates: nothing of a sheet is held unless the caller keeps it. What every sheet refers to
// (the shared texts, which cell formats are dates, and the looks when asked for) is read when the
// workbook is opened, taken from the reading's budget.
namespace xlsx {

// One cell holding a value (or, when looks are kept, a styled empty cell), as it comes.
struct StreamedCell {
    int row = 0;
    int column = 0;
    ReadCell::Kind kind = ReadCell::Kind::Empty;
    qsizetype shared = -1;      // a shared text: its index in sharedTexts(); `text` stays empty
    QString text;               // any other value as the user reads it
    double number = 0;
    int format = 0;             // the cell format (the "s" attribute)
};

class SheetVisitor {
public:
    virtual ~SheetVisitor() = default;
    // False stops the reading: the visitor's own budget was passed.
    virtual bool cell(const StreamedCell &cell) = 0;
    virtual bool merge(const Range &) { return true; }
    virtual bool width(int, int, double) { return true; }
};

class XlsxWorkbook final {
public:
    enum class Looks { Skip, Keep };

    // Opens the package and reads its sheet list, shared texts and styles; status() tells how.
    XlsxWorkbook(const QString &path, ReadBudget &budget, Looks looks = Looks::Skip);
    ~XlsxWorkbook();
    XlsxWorkbook(const XlsxWorkbook &) = delete;
    XlsxWorkbook &operator=(const XlsxWorkbook &) = delete;

    ReadBook::Status status() const { return m_status; }
    qsizetype sheetCount() const;
    QString sheetName(qsizetype index) const;
    // Hands every cell of the sheet to the visitor, in the file's order; Ok, Unreadable (damaged)
    // or TooLarge (the budget's passed() says which bound).
    ReadBook::Status readSheet(qsizetype index, SheetVisitor &visitor);

    const TextTable &sharedTexts() const { return *m_shared; }
    // The shared texts, for a caller that keeps cells after the workbook is gone.
    std::shared_ptr<const TextTable> sharedTextsHandle() const { return m_shared; }
    // A cell format's look (Looks::Keep); the default look for an unknown one.
    Style style(int format) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
    std::shared_ptr<TextTable> m_shared;
    ReadBook::Status m_status = ReadBook::Status::Unreadable;
};

} // namespace xlsx
