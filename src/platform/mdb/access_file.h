#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <vector>

// Reading another Microsoft Access file (.mdb): its tables, their columns and rows. Nothing is
// ever written to the file.
namespace mdb {

enum class Status {
    Ok,
    NotFound,        // no such file, or it cannot be read
    NotAccess,       // the file is not an Access database
    Damaged,         // an Access file whose pages cannot be read
    NoSuchTable,
};

struct Result {
    Status status = Status::Ok;
    QString error;   // a plain description for logs and tests; windows word their own messages
    bool ok() const { return status == Status::Ok; }
};

// The kind of a column, as far as the importers care.
enum class ColumnKind { Text, Memo, Integer, Real, Boolean, DateTime, Other };

struct Column {
    QString name;
    ColumnKind kind = ColumnKind::Other;
};

// A whole table read into memory. A cell is an invalid QVariant when the row holds Null, so Null
// and the empty text stay apart. Texts and memos are QString (memos whole, of any length), whole
// numbers qint64, other numbers double, Yes/No bool, dates QDateTime in wall-clock time (Qt::UTC).
struct Table {
    QString name;
    std::vector<Column> columns;            // in the table's field order
    std::vector<QVariantList> rows;         // in stored order

    int columnIndex(const QString &name) const; // exact name, -1 when absent
    QStringList columnNames() const;
};

class TableScan;

class AccessFile final {
public:
    AccessFile();
    ~AccessFile();
    AccessFile(const AccessFile &) = delete;
    AccessFile &operator=(const AccessFile &) = delete;

    // Opens the file read-only. libmdb neither asks for nor checks the database password, so a
    // protected file opens without it. On failure the object stays closed.
    Result open(const QString &path);
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }

    // The user tables (system tables left out), in catalog order.
    QStringList tables(Result *result = nullptr);
    // The whole table `name` (blanks allowed; matched without case, as Access does, an exact
    // match first). `table.name` is the name as the file spells it.
    Result readTable(const QString &name, Table &table);

private:
    friend class TableScan;
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    QString m_path;
};

// The rows of one table read one at a time, in stored order: a table of any length costs the
// memory of one row. The file must stay open while the scan is used.
class TableScan final {
public:
    TableScan();
    ~TableScan();
    TableScan(const TableScan &) = delete;
    TableScan &operator=(const TableScan &) = delete;

    // The table `name` (exact name) of an open file; its columns are read at once.
    Result open(AccessFile &file, const QString &name);
    // The table's name and columns (no rows).
    const Table &header() const { return m_header; }
    // The next row (Null cells as invalid QVariants, as in Table); false at the end, or when a
    // row cannot be read (result() then says so).
    bool next(QVariantList &row);
    // Back to the first row.
    void rewind();
    // How many rows next() has handed out since the first.
    qint64 position() const { return m_position; }
    const Result &result() const { return m_result; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    Table m_header;
    qint64 m_position = 0;
    Result m_result;
};

} // namespace mdb
