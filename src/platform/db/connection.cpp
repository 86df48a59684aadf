#include "platform/db/connection.h"

#include "platform/db/id_list.h"
#include "platform/db/spanish_order.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace db {

namespace {

sqlite3_stmt *raw(void *stmt) { return static_cast<sqlite3_stmt *>(stmt); }

// A text column of the current row. Most texts (numbers, dates, most names) are plain ASCII:
// taken as the engine keeps them, they spare it a conversion and two allocations per value,
// which an export of every contact makes a million times. Any other text is converted by the
// engine, as always.
QString columnText(sqlite3_stmt *stmt, int column)
{
    const auto *stored = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    const int length = sqlite3_column_bytes(stmt, column);
    unsigned char bits = 0;
    for (int i = 0; i < length; ++i)
        bits |= static_cast<unsigned char>(stored[i]);
    if (bits < 0x80)
        return QString::fromLatin1(stored, length);
    const auto *data = static_cast<const char16_t *>(sqlite3_column_text16(stmt, column));
    const int bytes = sqlite3_column_bytes16(stmt, column);
    return QString::fromUtf16(data, bytes / int(sizeof(char16_t)));
}

Status statusOf(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return Status::Ok;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return Status::WrongKeyOrNotADatabase;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Status::Busy;
    case SQLITE_CANTOPEN:
        return Status::NotFound;
    default:
        return Status::Error;
    }
}

QString engineMessage(sqlite3 *db, int rc)
{
    if (db)
        return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(rc));
}

Result failure(Status status, QString text)
{
    Result r;
    r.status = status;
    r.error = std::move(text);
    return r;
}

// Reads every page the schema needs and checks that the file is as long as its header says: a
// wrong key or a file that is not ours fails here, and so does a copy cut short by a failed
// transfer (SQLite would otherwise only notice when a query reaches the missing pages).
Result probe(sqlite3 *db, const QString &path)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW)
        return failure(statusOf(rc) == Status::Ok ? Status::Error : statusOf(rc), engineMessage(db, rc));

    qint64 pages = 0;
    qint64 pageSize = 0;
    for (auto [sql, target] : {std::pair{"PRAGMA page_count", &pages}, std::pair{"PRAGMA page_size", &pageSize}}) {
        rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        if (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
            *target = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_ROW)
            return failure(statusOf(rc) == Status::Ok ? Status::Error : statusOf(rc), engineMessage(db, rc));
    }
    const qint64 size = QFileInfo(path).size();
    if (size < pages * pageSize)
        return failure(Status::WrongKeyOrNotADatabase,
                       QStringLiteral("file shorter (%1 bytes) than its %2 pages").arg(size).arg(pages));
    return {};
}

quint32 bigEndian32(const QByteArray &bytes, qsizetype at)
{
    return (quint32(quint8(bytes.at(at))) << 24) | (quint32(quint8(bytes.at(at + 1))) << 16)
         | (quint32(quint8(bytes.at(at + 2))) << 8) | quint32(quint8(bytes.at(at + 3)));
}

// The file as an SQLite URI that tells the engine the file cannot change: it then takes no lock
// and neither looks at, nor plays back, nor deletes a journal beside it. "file:///C:/..." and
// "file:////server/share/..." are how the engine reads drive and network paths.
QByteArray immutableUri(const QString &path)
{
    QString absolute = QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!absolute.startsWith(QLatin1Char('/')))
        absolute.prepend(QLatin1Char('/'));
    return QByteArrayLiteral("file://") + QUrl::toPercentEncoding(absolute, "/:") + QByteArrayLiteral("?immutable=1");
}

// Whether the file decrypts with our key, read as an immutable file. Only page 1 is read.
bool decryptsWithOurKey(const QString &path)
{
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(immutableUri(path).constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (rc == SQLITE_OK) {
        const QByteArray secret = Connection::key().toUtf8();
        rc = sqlite3_key(db, secret.constData(), int(secret.size()));
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
    return rc == SQLITE_OK;
}

// A rollback journal beside the file: the engine plays it back into the file on its first read
// (before a wrong key could show) and deletes one that sits beside an empty file. So it may only
// act on a journal of our own file: the file must decrypt with our key, and every record of page
// 1 in the journal must carry the file's own first bytes (the salt our files keep there; another
// program's plain journal has "SQLite format 3" there, recorded after its other pages).
//
// The journal: sections, each a header (magic, record count, nonce, original size, sector size
// at 20, page size at 24, all big-endian) filling a sector, then its records (page number, old
// page, checksum). A count of 0 (not yet synced) or -1 means the records run to the end. The
// records are read in large pieces: a shared file's journal may sit on a slow network folder.
Result foreignJournal(const QString &path, const QByteArray &fileStart)
{
    QFile journal(path + QStringLiteral("-journal"));
    if (!journal.exists())
        return {};
    if (fileStart.isEmpty())
        return failure(Status::WrongKeyOrNotADatabase, QStringLiteral("a journal beside an empty file"));
    if (!journal.open(QIODevice::ReadOnly))
        return failure(Status::Error, QStringLiteral("the journal beside the file cannot be read"));

    static const QByteArray journalMagic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
    constexpr qsizetype saltSize = 16;
    constexpr qint64 pieceBytes = 1 << 20;
    const QByteArray salt = fileStart.left(saltSize);
    const qint64 journalSize = journal.size();
    qint64 sector = 0;
    qint64 pageSize = 0;
    qint64 offset = 0;
    while (offset + 28 <= journalSize && journal.seek(offset)) {
        const QByteArray header = journal.read(28);
        if (header.size() < 28 || !header.startsWith(journalMagic))
            break;
        if (offset == 0) {
            sector = bigEndian32(header, 20);
            pageSize = bigEndian32(header, 24);
            if (sector < 32 || sector > 65536 || pageSize < 512 || pageSize > 65536)
                break;  // the engine reads no records from such a journal
        }
        const qint64 recordSize = 4 + pageSize + 4;
        const qint64 first = offset + sector;
        const qint64 whole = std::max<qint64>(0, (journalSize - first) / recordSize);
        const quint32 count = bigEndian32(header, 8);
        const bool toTheEnd = count == 0 || count == 0xffffffffu;
        const qint64 records = toTheEnd ? whole : std::min<qint64>(count, whole);
        const qint64 perPiece = std::max<qint64>(1, pieceBytes / recordSize);
        for (qint64 done = 0; done < records;) {
            const qint64 now = std::min(perPiece, records - done);
            if (!journal.seek(first + done * recordSize))
                break;
            const QByteArray piece = journal.read(now * recordSize);
            for (qint64 i = 0; i < now && (i + 1) * recordSize <= piece.size(); ++i) {
                const qsizetype at = qsizetype(i * recordSize);
                if (bigEndian32(piece, at) == 1 && piece.mid(at + 4, saltSize) != salt)
                    return failure(Status::WrongKeyOrNotADatabase, QStringLiteral("a journal of another file beside it"));
            }
            if (piece.size() < now * recordSize)
                break;
            done += now;
        }
        if (toTheEnd)
            break;
        const qint64 end = first + records * recordSize;
        offset = (end + sector - 1) / sector * sector;
    }
    if (!decryptsWithOurKey(path))
        return failure(Status::WrongKeyOrNotADatabase, QStringLiteral("a journal beside a file that is not the program's"));
    return {};
}

// Our files are encrypted from their first byte, so their header reads as random bytes. A file
// that starts as a plain SQLite database or an Access one, that is not made of whole pages, or
// that has another file's journal beside it is someone else's: it is refused before SQLite opens
// it.
Result foreignFile(const QString &path, qint64 size)
{
    static const QByteArray plainMagic("SQLite format 3\0", 16);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};  // SQLite gives the reason
    const QByteArray head = file.read(20);
    if (head.startsWith(plainMagic))
        return failure(Status::WrongKeyOrNotADatabase, QStringLiteral("a plain SQLite file, not the program's"));
    const QByteArray access = head.mid(4, 15);
    if (access == QByteArrayLiteral("Standard Jet DB") || access == QByteArrayLiteral("Standard ACE DB"))
        return failure(Status::WrongKeyOrNotADatabase, QStringLiteral("an Access file, not the program's"));
    if (size % 512 != 0)
        return failure(Status::WrongKeyOrNotADatabase, QStringLiteral("not a whole number of pages"));
    return foreignJournal(path, head);
}

// SQLite hands the collation UTF-8 texts that are not zero-terminated.
int spanishCollation(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    return compareSpanishUtf8(static_cast<const char *>(a), lengthA, static_cast<const char *>(b), lengthB);
}

// fold(x): the text with every letter in one case. Plain ASCII, by far the most common, is folded
// in place; anything else goes through Qt's Unicode tables.
void foldFunction(sqlite3_context *context, int, sqlite3_value **args)
{
    sqlite3_value *value = args[0];
    if (sqlite3_value_type(value) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = sqlite3_value_text(value);
    const int length = sqlite3_value_bytes(value);
    if (!text) {
        sqlite3_result_null(context);
        return;
    }
    bool ascii = true;
    for (int i = 0; i < length && ascii; ++i)
        ascii = text[i] < 0x80;
    if (ascii) {
        QByteArray folded(reinterpret_cast<const char *>(text), length);
        for (char &c : folded) {
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        }
        sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
        return;
    }
    const QByteArray folded =
        foldCase(QString::fromUtf8(reinterpret_cast<const char *>(text), length)).toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

// en_lista(lista, id): whether the list of ids holds the id, read by the one rule of id_list.h.
void idListFunction(sqlite3_context *context, int, sqlite3_value **args)
{
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    std::optional<qint64> id;
    if (sqlite3_value_type(args[1]) == SQLITE_INTEGER) {
        id = sqlite3_value_int64(args[1]);
    } else {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(args[1]));
        id = idOfEntry(QString::fromUtf8(text, sqlite3_value_bytes(args[1])));
    }
    const auto *list = reinterpret_cast<const char *>(sqlite3_value_text(args[0]));
    const bool has = id && list && idListHas(QString::fromUtf8(list, sqlite3_value_bytes(args[0])), *id);
    sqlite3_result_int(context, has ? 1 : 0);
}

} // namespace

QString Connection::key() { return QStringLiteral("lurapensik"); }

Connection::Connection() = default;

Result Connection::Gate::check() const
{
    if (failedBegins > 0) {
        Result r = beginFailure;
        if (r.status == Status::Ok)
            r.status = Status::Error;
        r.error = QStringLiteral("the transaction did not begin: ") + r.error;
        return r;
    }
    // A transaction the engine rolled back by itself (a full disk, an I/O error): what follows
    // would run on its own, half of a change the caller meant as a whole.
    if (depth > 0 && db && sqlite3_get_autocommit(db))
        return failure(Status::Error, QStringLiteral("the transaction has ended"));
    return {};
}

Result Connection::refusal() const { return m_gate->check(); }

void Connection::setBusyTimeout(int ms)
{
    m_busyTimeoutMs = ms;
    if (m_db)
        sqlite3_busy_timeout(m_db, ms);
}

namespace {

// The engine's busy time-out on the handle: 0 when none is set or another busy handler replaced it.
int engineBusyTimeout(sqlite3 *db)
{
    sqlite3_stmt *pragma = nullptr;
    int ms = 0;
    if (sqlite3_prepare_v2(db, "PRAGMA busy_timeout", -1, &pragma, nullptr) == SQLITE_OK
        && sqlite3_step(pragma) == SQLITE_ROW)
        ms = sqlite3_column_int(pragma, 0);
    sqlite3_finalize(pragma);
    return ms;
}

} // namespace

ShortBusyWait::ShortBusyWait(Connection &connection, int ms) : m_connection(connection)
{
    sqlite3 *db = connection.m_db;
    if (db && ms < connection.m_busyTimeoutMs && engineBusyTimeout(db) == connection.m_busyTimeoutMs) {
        sqlite3_busy_timeout(db, ms);
        m_shortened = true;
    }
}

ShortBusyWait::~ShortBusyWait()
{
    if (m_shortened && m_connection.m_db)
        sqlite3_busy_timeout(m_connection.m_db, m_connection.m_busyTimeoutMs);
}

Connection::~Connection() { close(); }

Result Connection::resultOf(int rc) const
{
    Result r;
    r.status = statusOf(rc);
    if (r.status != Status::Ok)
        r.error = engineMessage(m_db, rc);
    return r;
}

Result Connection::open(const QString &path, OpenMode mode)
{
    close();
    const QFileInfo info(path);
    if (mode == OpenMode::ExistingOnly && !info.isFile())
        return failure(Status::NotFound, QStringLiteral("no such file: ") + path);

    if (info.exists()) {
        if (Result r = foreignFile(path, info.size()); !r.ok())
            return r;
    }

    int flags = SQLITE_OPEN_READWRITE;
    if (mode == OpenMode::CreateIfMissing)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        Result r = failure(statusOf(rc) == Status::Ok ? Status::Error : statusOf(rc), engineMessage(db, rc));
        sqlite3_close_v2(db);
        return r;
    }
    const QByteArray secret = key().toUtf8();
    rc = sqlite3_key(db, secret.constData(), int(secret.size()));
    if (rc != SQLITE_OK) {
        Result r = failure(Status::Error, engineMessage(db, rc));
        sqlite3_close_v2(db);
        return r;
    }
    sqlite3_busy_timeout(db, m_busyTimeoutMs);

    // A file that does not exist yet has nothing to probe; everything else must prove it is ours
    // before a single byte is written to it.
    if (info.exists()) {
        Result r = probe(db, path);
        if (!r.ok()) {
            sqlite3_close_v2(db);
            return r;
        }
    }
    // Rollback journal: WAL needs shared memory, which a network folder does not give.
    rc = sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        Result r = failure(statusOf(rc) == Status::Ok ? Status::Error : statusOf(rc), engineMessage(db, rc));
        sqlite3_close_v2(db);
        return r;
    }
    // Collations and functions live in the connection, not in the file: every opening registers
    // the name order, the case folding and the group-list reading.
    rc = sqlite3_create_collation_v2(db, kSpanishCollation, SQLITE_UTF8, nullptr, spanishCollation, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db, kFoldFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                        foldFunction, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db, kIdListFunction, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                        idListFunction, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        Result r = failure(Status::Error, engineMessage(db, rc));
        sqlite3_close_v2(db);
        return r;
    }
    // Every page read is a decryption: a generous cache keeps paging through a long history fast.
    sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
    m_db = db;
    m_path = path;
    m_gate->db = db;
    return {};
}

void Connection::close()
{
    if (!m_db)
        return;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_path.clear();
    m_gate->db = nullptr;
    m_gate->depth = 0;
}

bool Connection::isOpen() const { return m_db != nullptr; }

QString Connection::path() const { return m_path; }

Statement Connection::prepare(const QString &sql, Result *result)
{
    if (!m_db) {
        if (result)
            *result = failure(Status::Error, QStringLiteral("database not open"));
        return {};
    }
    if (const Result refused = m_gate->check(); !refused.ok()) {
        if (result)
            *result = refused;
        return {};
    }
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr);
    if (result)
        *result = resultOf(rc);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return {};
    }
    return Statement(m_db, stmt, m_gate);
}

Result Connection::execute(const QString &sql, const QVariantList &values)
{
    Result r;
    Statement stmt = prepare(sql, &r);
    if (!stmt.isValid())
        return r;
    stmt.bindAll(values);
    return stmt.run();
}

Result Connection::executeScript(const QString &sql)
{
    if (!m_db)
        return failure(Status::Error, QStringLiteral("database not open"));
    if (Result refused = m_gate->check(); !refused.ok())
        return refused;
    return control(sql);
}

Result Connection::control(const QString &sql)
{
    if (!m_db)
        return failure(Status::Error, QStringLiteral("database not open"));
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    Result r;
    r.status = statusOf(rc);
    if (rc != SQLITE_OK)
        r.error = message ? QString::fromUtf8(message) : engineMessage(m_db, rc);
    sqlite3_free(message);
    r.changes = rc == SQLITE_OK ? sqlite3_changes(m_db) : 0;
    return r;
}

std::vector<Row> Connection::select(const QString &sql, const QVariantList &values, Result *result)
{
    std::vector<Row> rows;
    Result r;
    Statement stmt = prepare(sql, &r);
    if (stmt.isValid()) {
        stmt.bindAll(values);
        while (stmt.next())
            rows.push_back(stmt.row());
        if (!stmt.m_refusal.ok()) {
            r = stmt.m_refusal;
        } else if (!stmt.error().isEmpty()) {
            const Status status = statusOf(sqlite3_errcode(m_db));
            r = failure(status == Status::Ok ? Status::Error : status, stmt.error());
        }
    }
    if (result)
        *result = r;
    return rows;
}

QVariant Connection::scalar(const QString &sql, const QVariantList &values, Result *result)
{
    Result r;
    QVariant value;
    Statement stmt = prepare(sql, &r);
    if (stmt.isValid()) {
        stmt.bindAll(values);
        if (stmt.next())
            value = stmt.value(0);
        else if (!stmt.error().isEmpty())
            r = !stmt.m_refusal.ok() ? stmt.m_refusal : failure(Status::Error, stmt.error());
    }
    if (result)
        *result = r;
    return value;
}

qint64 Connection::lastInsertRowId() const { return m_db ? sqlite3_last_insert_rowid(m_db) : 0; }

bool Connection::isReadOnly() const { return m_db && sqlite3_db_readonly(m_db, "main") == 1; }

bool Connection::hasTable(const QString &table)
{
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"),
                  {table})
               .toLongLong()
        > 0;
}

bool Connection::hasColumn(const QString &table, const QString &column)
{
    // PRAGMA takes no bound values in this SQLite; the name goes in as a quoted identifier.
    QString quoted = table;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    const auto rows = select(QStringLiteral("PRAGMA table_info(\"") + quoted + QStringLiteral("\")"));
    for (const Row &row : rows) {
        if (row.size() > 1 && row.at(1).toString().compare(column, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// ---- Statement ----

Statement::~Statement() { sqlite3_finalize(raw(m_stmt)); }

Statement::Statement(Statement &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_gate(std::move(other.m_gate)), m_error(std::move(other.m_error)), m_refusal(std::move(other.m_refusal))
{
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(raw(m_stmt));
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_gate = std::move(other.m_gate);
        m_error = std::move(other.m_error);
        m_refusal = std::move(other.m_refusal);
    }
    return *this;
}

bool Statement::mayStep()
{
    m_refusal = m_gate ? m_gate->check() : Result{};
    if (m_refusal.ok())
        return true;
    m_error = m_refusal.error;
    return false;
}

void Statement::bind(int index, const QVariant &value)
{
    if (!m_stmt)
        return;
    sqlite3_stmt *stmt = raw(m_stmt);
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        sqlite3_bind_int64(stmt, index, value.toLongLong());
        return;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        sqlite3_bind_int64(stmt, index, qint64(value.toULongLong()));
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt, index, value.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob64(stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
        return;
    }
    case QMetaType::QDate:
        // Birth dates are stored as text so they sort and compare as written.
        bind(index, value.toDate().toString(QStringLiteral("yyyy-MM-dd")));
        return;
    case QMetaType::QDateTime:
        bind(index, value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        return;
    default: {
        const QString text = value.toString();
        sqlite3_bind_text16(stmt, index, text.utf16(), int(text.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
        return;
    }
    }
}

void Statement::bindAll(const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values.at(i));
}

bool Statement::next()
{
    if (!m_stmt || !mayStep())
        return false;
    const int rc = sqlite3_step(raw(m_stmt));
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

Result Statement::run()
{
    Result r;
    if (!m_stmt)
        return failure(Status::Error, QStringLiteral("statement not prepared"));
    if (!mayStep())
        return m_refusal;
    int rc;
    while ((rc = sqlite3_step(raw(m_stmt))) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        // sqlite3_reset gives the precise code for the failed step.
        const int code = sqlite3_reset(raw(m_stmt));
        r.status = statusOf(code) == Status::Ok ? Status::Error : statusOf(code);
        r.error = m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return r;
    }
    r.changes = sqlite3_changes(m_db);
    return r;
}

void Statement::reset()
{
    if (!m_stmt)
        return;
    sqlite3_reset(raw(m_stmt));
    sqlite3_clear_bindings(raw(m_stmt));
    m_error.clear();
    m_refusal = {};
}

int Statement::columnCount() const { return m_stmt ? sqlite3_column_count(raw(m_stmt)) : 0; }

QVariant Statement::value(int column) const
{
    if (!m_stmt)
        return {};
    sqlite3_stmt *stmt = raw(m_stmt);
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT:
        return QVariant(columnText(stmt, column));
    case SQLITE_BLOB: {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(stmt, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(stmt, column)));
    }
    default:
        return {};
    }
}

QString Statement::text(int column) const
{
    if (m_stmt && sqlite3_column_type(raw(m_stmt), column) == SQLITE_TEXT)
        return columnText(raw(m_stmt), column);
    const QVariant v = value(column);
    return v.isValid() ? v.toString() : QString();
}

Row Statement::row() const
{
    Row values;
    const int count = columnCount();
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.push_back(value(i));
    return values;
}

// ---- Transaction ----

Transaction::Transaction(Connection &connection, Mode mode) : m_connection(connection), m_gate(connection.m_gate)
{
    Result r;
    if (!connection.isOpen()) {
        r = failure(Status::Error, QStringLiteral("database not open"));
    } else if (r = m_gate->check(); r.ok()) {
        m_depth = m_gate->depth;
        // IMMEDIATE takes the write lock at once, so two workstations never both read under a
        // shared lock and then deadlock when each wants to write.
        if (m_depth > 0)
            r = connection.control(QStringLiteral("SAVEPOINT brisanta_%1").arg(m_depth));
        else if (mode == Mode::Immediate)
            r = connection.control(QStringLiteral("BEGIN IMMEDIATE"));
        else
            r = connection.control(QStringLiteral("BEGIN DEFERRED"));
    }
    m_begin = r;
    m_active = r.ok();
    if (m_active) {
        ++m_gate->depth;
        return;
    }
    m_failed = true;
    ++m_gate->failedBegins;
    m_gate->beginFailure = r;
}

Transaction::~Transaction()
{
    rollback();
    if (m_failed)
        --m_gate->failedBegins;
}

Result Transaction::commit()
{
    if (!m_active)
        return m_failed ? m_begin : failure(Status::Error, QStringLiteral("no transaction"));
    const Result r = m_depth == 0 ? m_connection.control(QStringLiteral("COMMIT"))
                                  : m_connection.control(QStringLiteral("RELEASE brisanta_%1").arg(m_depth));
    if (r.ok()) {
        m_active = false;
        --m_gate->depth;
    }
    return r;
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    if (!m_connection.isOpen())
        return;
    if (m_depth == 0) {
        m_connection.control(QStringLiteral("ROLLBACK"));
    } else {
        m_connection.control(QStringLiteral("ROLLBACK TO brisanta_%1; RELEASE brisanta_%1").arg(m_depth));
    }
    if (m_gate->depth > 0)
        --m_gate->depth;
}

} // namespace db
