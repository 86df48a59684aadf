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
    // The engine opened the file for reading only (the user may not write it): it says nothing
    // then, and every write would fail.
    bool isReadOnly() const;
    bool hasTable(const QString &table);
    bool hasColumn(const QString &table, const QString &column);

    sqlite3 *handle() const { return m_db; }

    // The program's fixed database key (the same for the local file, a shared file and the copies).
    static QString key();

    // How long a statement waits for another workstation's lock before giving up.
    static constexpr int busyTimeoutMs = 10000;
    // Applies at once and to later openings of this connection.
    void setBusyTimeout(int ms);
    int busyTimeout() const { return m_busyTimeoutMs; }

    // Why statements are refused right now: a Transaction whose BEGIN failed is alive, or the
    // engine ended a transaction by itself. Ok when statements may run.
    Result refusal() const;

    // What a Statement asks before each step. Shared with the statements, so one that outlives its
    // connection still finds it.
    struct Gate {
        sqlite3 *db = nullptr;
        int depth = 0;              // open Transactions: nested ones are savepoints
        int failedBegins = 0;       // Transactions alive whose BEGIN failed
        Result beginFailure;        // what the last failed BEGIN said
        Result check() const;
    };

private:
    friend class Transaction;
    friend class ShortBusyWait;
    Result resultOf(int rc) const;
    // BEGIN, COMMIT, ROLLBACK and savepoints: the only statements that pass a closed gate.
    Result control(const QString &sql);

    sqlite3 *m_db = nullptr;
    QString m_path;
    int m_busyTimeoutMs = busyTimeoutMs;
    std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
};

// For its life, statements on the connection wait at most `ms` for another workstation's lock
// (never longer than the connection's own time-out), then fail as busy: for work that has somewhere
// else to go when the file is held (a charged row has the pending file) and must not keep the window
// waiting. Every other statement keeps the full time-out, which comes back at the end. Only the
// connection's own time-out is shortened: a busy handler other code put on the handle stays.
class ShortBusyWait final {
public:
    ShortBusyWait(Connection &connection, int ms);
    ~ShortBusyWait();
    ShortBusyWait(const ShortBusyWait &) = delete;
    ShortBusyWait &operator=(const ShortBusyWait &) = delete;

private:
    Connection &m_connection;
    bool m_shortened = false;
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
    Statement(sqlite3 *db, void *stmt, std::shared_ptr<const Connection::Gate> gate)
        : m_db(db), m_stmt(stmt), m_gate(std::move(gate))
    {
    }
    // False (with m_error set) while the connection refuses statements.
    bool mayStep();
    sqlite3 *m_db = nullptr;
    void *m_stmt = nullptr;
    std::shared_ptr<const Connection::Gate> m_gate;
    QString m_error;
    Result m_refusal;               // not Ok: the last step was refused by the gate
};

// BEGIN on construction; rolled back on destruction unless commit() succeeded. A Transaction made
// while another is open on the same connection becomes a savepoint inside it.
//
// A Transaction whose BEGIN failed (another workstation holding the shared file past the busy
// time-out) is not a licence to go on without one: while it lives, its connection refuses every
// statement, so nothing meant for the transaction runs on its own and nothing is half written.
class Transaction final {
public:
    enum class Mode {
        Immediate,      // takes the write lock at once: for work on the database file
        Deferred        // takes no lock until needed: for filling temporary tables before a read
    };
    explicit Transaction(Connection &connection, Mode mode = Mode::Immediate);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    // Why the BEGIN failed (Busy when another workstation held the file); Ok when it did not.
    const Result &beginResult() const { return m_begin; }
    Result commit();
    void rollback();

private:
    Connection &m_connection;
    std::shared_ptr<Connection::Gate> m_gate;
    Result m_begin;
    bool m_active = false;
    bool m_failed = false;          // BEGIN failed: the connection refuses statements while we live
    int m_depth = 0;                // 0: the outer BEGIN; n > 0: savepoint n
};

} // namespace db
