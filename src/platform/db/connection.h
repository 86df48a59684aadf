#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <vector>

struct sqlite3;

// The client's database: one SQLCipher file opened with the program's fixed key. Every statement
// binds its values; nothing the user or the gateway typed is ever joined into SQL text.
namespace db {

class Statement;

enum class Status { Ok, NotFound, WrongKeyOrNotADatabase, Busy, Error };

struct Result {
    Status status = Status::Ok;
    QString error;              // the engine's message, for logs and tests (never shown raw)
    qint64 changes = 0;         // rows changed by the statement
    bool ok() const { return status == Status::Ok; }
};

using Row = QVariantList;       // one value per column; a null column is an invalid QVariant

enum class OpenMode { ExistingOnly, CreateIfMissing };

class Connection final {
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens `path` with the fixed key and probes it (a wrong key or a file that is not ours only
    // fails at the first read). Rollback journal, busy time-out for a shared file. On failure the
    // connection stays closed and the file is left untouched.
    Result open(const QString &path, OpenMode mode = OpenMode::ExistingOnly);
    void close();
    bool isOpen() const;
    QString path() const;

    // One statement, values bound in order to ?1, ?2 ...
    Result execute(const QString &sql, const QVariantList &values = {});
    // Several statements separated by ";" with no values (schema scripts).
    Result executeScript(const QString &sql);

    std::vector<Row> select(const QString &sql, const QVariantList &values = {}, Result *result = nullptr);
    // First column of the first row, or an invalid QVariant.
    QVariant scalar(const QString &sql, const QVariantList &values = {}, Result *result = nullptr);

    Statement prepare(const QString &sql, Result *result = nullptr);

    qint64 lastInsertRowId() const;
    bool hasTable(const QString &table);
    bool hasColumn(const QString &table, const QString &column);

    sqlite3 *handle() const { return m_db; }

    // The program's fixed database key (the same for the local file, a shared file and the copies).
    static QString key();

    // How long a statement waits for another workstation's lock before giving up.
    static constexpr int busyTimeoutMs = 10000;

private:
    friend class Transaction;
    Result resultOf(int rc) const;

    sqlite3 *m_db = nullptr;
    QString m_path;
    int m_transactionDepth = 0;     // nested Transactions become savepoints
};

// A prepared statement: bind, step through rows, read columns.
class Statement final {
public:
    Statement() = default;
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    void bind(int index, const QVariant &value);     // 1-based, as SQLite counts
    void bindAll(const QVariantList &values);
    // Advances to the next row: true while a row is there; false at the end or on error (see error()).
    bool next();
    Result run();                                    // steps to the end (for INSERT/UPDATE/DELETE)
    void reset();                                    // ready to bind and run again

    int columnCount() const;
    QVariant value(int column) const;                // 0-based
    QString text(int column) const;                  // null reads as ""
    Row row() const;
    QString error() const { return m_error; }

private:
    friend class Connection;
    Statement(sqlite3 *db, void *stmt) : m_db(db), m_stmt(stmt) {}
    sqlite3 *m_db = nullptr;
    void *m_stmt = nullptr;
    QString m_error;
};

// BEGIN on construction; rolled back on destruction unless commit() succeeded. A Transaction made
// while another is open on the same connection becomes a savepoint inside it.
class Transaction final {
public:
    explicit Transaction(Connection &connection);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    Result commit();
    void rollback();

private:
    Connection &m_connection;
    bool m_active = false;
    int m_depth = 0;                // 0: the outer BEGIN; n > 0: savepoint n
};

} // namespace db
