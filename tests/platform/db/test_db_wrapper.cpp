#include "platform/db/connection.h"
#include "platform/db/id_table.h"
#include "support/file_bytes.h"
#include "support/temp_home.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QTest>

#include <numeric>
#include <vector>

namespace {

using testing::digest;

// A database written by the engine directly, with a key of our choosing (none: a plain file).
void writeRawDatabase(const QString &path, const QByteArray &key, int rows)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr),
             SQLITE_OK);
    if (!key.isEmpty())
        QCOMPARE(sqlite3_key(db, key.constData(), int(key.size())), SQLITE_OK);
    QString script = QStringLiteral("CREATE TABLE t (sid INTEGER PRIMARY KEY, texto TEXT); BEGIN;");
    for (int i = 0; i < rows; ++i)
        script += QStringLiteral("INSERT INTO t (texto) VALUES ('fila %1 con relleno para ocupar varias páginas');").arg(i);
    script += QStringLiteral("COMMIT;");
    QCOMPARE(sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// The database and its journal as a crash in the middle of a write leaves them: a copy of both
// taken while a transaction that changed every row was open. An empty key writes a plain file.
void leaveHotJournal(const QString &path, const QByteArray &key)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    if (!key.isEmpty())
        QCOMPARE(sqlite3_key(db, key.constData(), int(key.size())), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA cache_size=2; BEGIN; "
                              "UPDATE t SET texto = texto || ' cambiado';",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    const QString journal = path + QStringLiteral("-journal");
    QVERIFY(QFile::exists(journal));
    QFile::remove(path + QStringLiteral(".copia"));
    QFile::remove(journal + QStringLiteral(".copia"));
    QVERIFY(QFile::copy(path, path + QStringLiteral(".copia")));
    QVERIFY(QFile::copy(journal, journal + QStringLiteral(".copia")));
    QCOMPARE(sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(path + QStringLiteral(".copia"), path));
    QVERIFY(QFile::rename(journal + QStringLiteral(".copia"), journal));
}

quint32 bigEndian32(const QByteArray &bytes, qsizetype at)
{
    return (quint32(quint8(bytes.at(at))) << 24) | (quint32(quint8(bytes.at(at + 1))) << 16)
         | (quint32(quint8(bytes.at(at + 2))) << 8) | quint32(quint8(bytes.at(at + 3)));
}

void putBigEndian32(QByteArray &bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (24 - 8 * i)) & 0xff);
}

QByteArray sectorPadded(QByteArray bytes, qsizetype sector)
{
    bytes.append(QByteArray((sector - bytes.size() % sector) % sector, '\0'));
    return bytes;
}

// The same journal as a transaction that spilled its cache before it changed page 1 writes it:
// the first section holds other pages, page 1 comes in a section of its own after it. The new
// section repeats the first one's header (its nonce, so the record's checksum still holds),
// counting one record.
QByteArray pageOneInALaterSection(const QByteArray &journal)
{
    const qsizetype sector = bigEndian32(journal, 20);
    const qsizetype pageSize = bigEndian32(journal, 24);
    const qsizetype recordSize = 4 + pageSize + 4;
    const quint32 count = bigEndian32(journal, 8);
    QByteArray others;
    QByteArray pageOne;
    for (quint32 i = 0; i < count; ++i) {
        const QByteArray record = journal.mid(sector + qsizetype(i) * recordSize, recordSize);
        (bigEndian32(record, 0) == 1 ? pageOne : others) += record;
    }
    if (pageOne.size() != recordSize)
        return {};
    const qsizetype firstEnd = (sector + qsizetype(count) * recordSize + sector - 1) / sector * sector;
    QByteArray header = journal.left(sector);
    putBigEndian32(header, 8, count - 1);
    QByteArray crafted = sectorPadded(header + others, sector);
    putBigEndian32(header, 8, 1);
    crafted += sectorPadded(header + pageOne, sector);
    return crafted + journal.mid(firstEnd);
}

} // namespace

class TestDbWrapper final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void createsOnlyWhenAsked();
    void rollbackJournalAndKey();
    void refusesFileIntact_data();
    void refusesFileIntact();
    void ownFileRollsItsJournalBack();
    void foreignJournalWithPageOneInALaterSection();
    void transactionsAndSavepoints();
    void failedStatementReportsError();
    void idTableForLongLists();
    void busyTimeoutIsSettable();
    void failedBeginRunsNothing();
    void failedCommitLeavesNothing();
    void transactionEndedByTheEngineRunsNothing();
    void deferredTransactionDoesNotWaitForTheWriter();

private:
    testing::TempHome m_home;
};

void TestDbWrapper::valuesRoundTrip_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("null") << QVariant() << QVariant();
    QTest::newRow("int") << QVariant(42) << QVariant(qlonglong(42));
    QTest::newRow("int64") << QVariant(qlonglong(9007199254740993LL)) << QVariant(qlonglong(9007199254740993LL));
    QTest::newRow("double") << QVariant(0.825) << QVariant(0.825);
    QTest::newRow("apostrophe") << QVariant(QStringLiteral("Seán O'Donnell")) << QVariant(QStringLiteral("Seán O'Donnell"));
    QTest::newRow("quotes and injection")
        << QVariant(QStringLiteral("x'); DROP TABLE v; --\"")) << QVariant(QStringLiteral("x'); DROP TABLE v; --\""));
    QTest::newRow("non-BMP") << QVariant(QStringLiteral("Zoë 😀 €")) << QVariant(QStringLiteral("Zoë 😀 €"));
    QTest::newRow("empty text") << QVariant(QStringLiteral("")) << QVariant(QStringLiteral(""));
    QTest::newRow("blob") << QVariant(QByteArray("\0\1\2", 3)) << QVariant(QByteArray("\0\1\2", 3));
}

void TestDbWrapper::valuesRoundTrip()
{
    QFETCH(QVariant, value);
    QFETCH(QVariant, expected);
    db::Connection db;
    QVERIFY(db.open(m_home.file(QStringLiteral("valores.mdb")), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.executeScript(QStringLiteral("CREATE TABLE IF NOT EXISTS v (sid INTEGER PRIMARY KEY, x)")).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO v (x) VALUES (?1)"), {value}).ok());
    const qint64 sid = db.lastInsertRowId();
    db::Result r;
    const QVariant back = db.scalar(QStringLiteral("SELECT x FROM v WHERE sid=?1"), {sid}, &r);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(back.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(back.typeId(), expected.typeId());
        QCOMPARE(back, expected);
    }
    // A text value found again by equality proves it went in bound, not spliced.
    if (expected.typeId() == QMetaType::QString)
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM v WHERE x=?1"), {value}).toInt(), 1);
}

void TestDbWrapper::createsOnlyWhenAsked()
{
    const QString path = m_home.file(QStringLiteral("nuevo.mdb"));
    db::Connection db;
    QCOMPARE(db.open(path).status, db::Status::NotFound);
    QVERIFY(!db.isOpen());
    QVERIFY(!QFile::exists(path));
    QVERIFY(db.open(path, db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE a (b)")).ok());
    QCOMPARE(db.path(), path);
    db.close();
    QVERIFY(db.open(path).ok());
    QVERIFY(db.hasTable(QStringLiteral("a")));
    QVERIFY(db.hasColumn(QStringLiteral("a"), QStringLiteral("B")));
    QVERIFY(!db.hasColumn(QStringLiteral("a"), QStringLiteral("c")));
}

void TestDbWrapper::rollbackJournalAndKey()
{
    const QString path = m_home.file(QStringLiteral("clave.mdb"));
    {
        db::Connection db;
        QVERIFY(db.open(path, db::OpenMode::CreateIfMissing).ok());
        QVERIFY(db.execute(QStringLiteral("CREATE TABLE a (b)")).ok());
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("delete"));
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA busy_timeout")).toInt(), db::Connection::busyTimeoutMs);
    }
    // The file is encrypted with the program's key: the engine with that key reads it, the plain
    // header is nowhere.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.read(16).startsWith("SQLite format 3"));
    sqlite3 *raw = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const QByteArray key = db::Connection::key().toUtf8();
    sqlite3_key(raw, key.constData(), int(key.size()));
    QCOMPARE(sqlite3_exec(raw, "SELECT count(*) FROM a", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
}

void TestDbWrapper::refusesFileIntact_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("wrong key") << QStringLiteral("key");
    QTest::newRow("access file") << QStringLiteral("access");
    QTest::newRow("truncated at a page") << QStringLiteral("cut-page");
    QTest::newRow("truncated mid-page") << QStringLiteral("cut-odd");
    QTest::newRow("first bytes only") << QStringLiteral("cut-header");
    QTest::newRow("text file") << QStringLiteral("text");
    QTest::newRow("plain SQLite file") << QStringLiteral("plain");
    QTest::newRow("plain SQLite file with a leftover journal") << QStringLiteral("plain-journal");
}

void TestDbWrapper::refusesFileIntact()
{
    QFETCH(QString, kind);
    const QString path = m_home.file(kind + QStringLiteral(".mdb"));
    QFile::remove(path);
    if (kind == QLatin1String("access")) {
        const QString fixture = testing::sharedFixture(QStringLiteral("fixtures/access/contactos.mdb"));
        if (fixture.isEmpty())
            QSKIP("Access fixtures not available");
        QVERIFY(QFile::copy(fixture, path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    } else if (kind == QLatin1String("text")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Nombre;Telefono\nAna;600000000\n");
    } else if (kind.startsWith(QLatin1String("plain"))) {
        QFile::remove(path + QStringLiteral("-journal"));
        writeRawDatabase(path, {}, 2000);
        if (kind == QLatin1String("plain-journal"))
            leaveHotJournal(path, {});
    } else {
        writeRawDatabase(path, kind == QLatin1String("key") ? QByteArray("otraclave1") : db::Connection::key().toUtf8(),
                         2000);
        const qint64 size = QFileInfo(path).size();
        QVERIFY(size > 8 * 1024);
        if (kind == QLatin1String("cut-page"))
            QVERIFY(QFile::resize(path, (size / 2) / 1024 * 1024));
        else if (kind == QLatin1String("cut-odd"))
            QVERIFY(QFile::resize(path, size / 2 + 517));
        else if (kind == QLatin1String("cut-header"))
            QVERIFY(QFile::resize(path, 100));
    }
    const QString journal = path + QStringLiteral("-journal");
    const QByteArray before = digest(path);
    const qint64 sizeBefore = QFileInfo(path).size();
    const QByteArray journalBefore = digest(journal);

    db::Connection db;
    const db::Result r = db.open(path);
    QCOMPARE(r.status, db::Status::WrongKeyOrNotADatabase);
    QVERIFY(!db.isOpen());
    QCOMPARE(QFileInfo(path).size(), sizeBefore);
    QCOMPARE(digest(path), before);
    // A journal found beside a refused file stays as it was; none appears otherwise.
    QCOMPARE(QFile::exists(journal), kind == QLatin1String("plain-journal"));
    QCOMPARE(digest(journal), journalBefore);
}

// A journal left beside one of our own files is rolled back by the engine: the changes of the
// interrupted transaction are gone and the file opens whole.
void TestDbWrapper::ownFileRollsItsJournalBack()
{
    const QString path = m_home.file(QStringLiteral("propio.mdb"));
    writeRawDatabase(path, db::Connection::key().toUtf8(), 2000);
    leaveHotJournal(path, db::Connection::key().toUtf8());
    db::Connection db;
    QVERIFY(db.open(path).ok());
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t WHERE texto LIKE '%cambiado'")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 2000);
    QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
}

// Another program's journal beside one of our files, its page 1 recorded in a later section (a
// transaction that spilled its cache before it changed page 1): every section is read, the
// file is refused, and neither it nor the journal is touched.
void TestDbWrapper::foreignJournalWithPageOneInALaterSection()
{
    const QString other = m_home.file(QStringLiteral("otro.sqlite"));
    writeRawDatabase(other, {}, 2000);
    leaveHotJournal(other, {});
    const QByteArray foreign = testing::readFile(other + QStringLiteral("-journal"));
    const qsizetype sector = bigEndian32(foreign, 20);
    QVERIFY(bigEndian32(foreign, 8) > 1);
    const QByteArray crafted = pageOneInALaterSection(foreign);
    QVERIFY(!crafted.isEmpty());
    // The first section no longer holds page 1; the second one does, and is a section of its own.
    QVERIFY(!crafted.mid(sector, bigEndian32(crafted, 8) * (4 + bigEndian32(crafted, 24) + 4)).contains("SQLite format 3"));
    QVERIFY(crafted.contains("SQLite format 3"));

    const QString path = m_home.file(QStringLiteral("propio-diario-ajeno.mdb"));
    QFile::remove(path);
    writeRawDatabase(path, db::Connection::key().toUtf8(), 2000);
    const QString journal = path + QStringLiteral("-journal");
    {
        QFile out(journal);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(out.write(crafted), crafted.size());
    }
    const QByteArray before = digest(path);
    const QByteArray journalBefore = digest(journal);

    db::Connection db;
    const db::Result r = db.open(path);
    QCOMPARE(r.status, db::Status::WrongKeyOrNotADatabase);
    QVERIFY(!db.isOpen());
    QCOMPARE(digest(path), before);
    QCOMPARE(digest(journal), journalBefore);
}

void TestDbWrapper::transactionsAndSavepoints()
{
    db::Connection db;
    QVERIFY(db.open(m_home.file(QStringLiteral("tx.mdb")), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE t (x)")).ok());
    {
        db::Transaction tx(db);
        QVERIFY(tx.isActive());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (1)")).ok());
    } // not committed: gone
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 0);
    {
        db::Transaction outer(db);
        QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (1)")).ok());
        {
            db::Transaction inner(db);
            QVERIFY(inner.isActive());
            QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (2)")).ok());
        } // the inner part alone is undone
        {
            db::Transaction inner(db);
            QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (3)")).ok());
            QVERIFY(inner.commit().ok());
        }
        QVERIFY(outer.commit().ok());
    }
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(x) FROM t")).toString(), QStringLiteral("1,3"));
}

void TestDbWrapper::failedStatementReportsError()
{
    db::Connection db;
    QVERIFY(db.open(m_home.file(QStringLiteral("err.mdb")), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE t (x UNIQUE)")).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (?1)"), {1}).ok());
    db::Result r = db.execute(QStringLiteral("INSERT INTO t VALUES (?1)"), {1});
    QCOMPARE(r.status, db::Status::Error);
    QVERIFY(!r.error.isEmpty());
    r = db.execute(QStringLiteral("SELEC nada"));
    QVERIFY(!r.ok());
    db.select(QStringLiteral("SELECT * FROM no_existe"), {}, &r);
    QVERIFY(!r.ok());
    db::Connection closed;
    QVERIFY(!closed.execute(QStringLiteral("SELECT 1")).ok());
}

void TestDbWrapper::idTableForLongLists()
{
    db::Connection db;
    QVERIFY(db.open(m_home.file(QStringLiteral("ids.mdb")), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE t (sid INTEGER PRIMARY KEY)")).ok());
    {
        db::Transaction tx(db);
        db::Statement insert = db.prepare(QStringLiteral("INSERT INTO t (sid) VALUES (?1)"));
        for (int i = 1; i <= 40000; ++i) {
            insert.bind(1, i);
            QVERIFY(insert.run().ok());
            insert.reset();
        }
        QVERIFY(tx.commit().ok());
    }
    std::vector<qint64> ids(30000);
    std::iota(ids.begin(), ids.end(), 5001);
    ids.push_back(5001); // a repeat counts once
    db::IdTable table(db, QStringLiteral("ids_prueba"));
    QVERIFY(table.status().ok());
    QVERIFY(table.add(ids).ok());
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t WHERE sid IN ") + table.subquery()).toInt(), 30000);
}

void TestDbWrapper::busyTimeoutIsSettable()
{
    db::Connection db;
    QCOMPARE(db.busyTimeout(), 10000);
    db.setBusyTimeout(50);
    QVERIFY(db.open(m_home.file(QStringLiteral("espera.mdb")), db::OpenMode::CreateIfMissing).ok());
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA busy_timeout")).toInt(), 50);
    db.setBusyTimeout(70);
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA busy_timeout")).toInt(), 70);
}

// Two workstations on one shared file: the other one holds the write lock past our time-out and
// lets it go just after. What was meant for the transaction must not then run on its own.
void TestDbWrapper::failedBeginRunsNothing()
{
    const QString path = m_home.file(QStringLiteral("compartida.mdb"));
    db::Connection db;
    db.setBusyTimeout(20);
    QVERIFY(db.open(path, db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE t (x)")).ok());
    db::Statement prepared = db.prepare(QStringLiteral("INSERT INTO t VALUES (?1)"));
    QVERIFY(prepared.isValid());

    db::Connection other;
    QVERIFY(other.open(path).ok());
    QVERIFY(other.executeScript(QStringLiteral("BEGIN IMMEDIATE")).ok());
    {
        db::Transaction tx(db);
        QVERIFY(!tx.isActive());
        QVERIFY(other.executeScript(QStringLiteral("ROLLBACK")).ok());   // the lock is free again

        db::Result r = db.execute(QStringLiteral("INSERT INTO t VALUES (1)"));
        QCOMPARE(r.status, db::Status::Busy);
        QVERIFY(!db.executeScript(QStringLiteral("INSERT INTO t VALUES (2)")).ok());
        QVERIFY(!db.prepare(QStringLiteral("INSERT INTO t VALUES (3)"), &r).isValid());
        QCOMPARE(r.status, db::Status::Busy);
        prepared.bind(1, 4);
        QCOMPARE(prepared.run().status, db::Status::Busy);
        prepared.reset();
        db.select(QStringLiteral("SELECT x FROM t"), {}, &r);
        QCOMPARE(r.status, db::Status::Busy);
        db.scalar(QStringLiteral("SELECT count(*) FROM t"), {}, &r);
        QCOMPARE(r.status, db::Status::Busy);
        QCOMPARE(db.refusal().status, db::Status::Busy);
        {
            // Nor does a nested one start inside it.
            db::Transaction inner(db);
            QVERIFY(!inner.isActive());
            QVERIFY(!db.execute(QStringLiteral("INSERT INTO t VALUES (5)")).ok());
        }
        QVERIFY(!db.execute(QStringLiteral("INSERT INTO t VALUES (6)")).ok());
        QCOMPARE(tx.commit().status, db::Status::Busy);
    }
    QCOMPARE(other.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 0);

    // Once the failed transaction is gone the connection works as before.
    QVERIFY(db.refusal().ok());
    prepared.bind(1, 7);
    QVERIFY(prepared.run().ok());
    {
        db::Transaction tx(db);
        QVERIFY(tx.isActive());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (8)")).ok());
        QVERIFY(tx.commit().ok());
    }
    QCOMPARE(other.scalar(QStringLiteral("SELECT group_concat(x) FROM t")).toString(), QStringLiteral("7,8"));
}

// A reader on the other workstation keeps our COMMIT waiting past the time-out: nothing of the
// transaction stays, and the connection is usable afterwards.
void TestDbWrapper::failedCommitLeavesNothing()
{
    const QString path = m_home.file(QStringLiteral("lector.mdb"));
    db::Connection db;
    db.setBusyTimeout(20);
    QVERIFY(db.open(path, db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE t (x)")).ok());
    db::Connection other;
    QVERIFY(other.open(path).ok());
    QVERIFY(other.executeScript(QStringLiteral("BEGIN")).ok());
    QCOMPARE(other.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 0);   // holds a read lock
    {
        db::Transaction tx(db);
        QVERIFY(tx.isActive());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (1)")).ok());
        QCOMPARE(tx.commit().status, db::Status::Busy);
    }
    QVERIFY(other.executeScript(QStringLiteral("COMMIT")).ok());
    QCOMPARE(other.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 0);
    QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (2)")).ok());
    QCOMPARE(other.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 1);
}

void TestDbWrapper::transactionEndedByTheEngineRunsNothing()
{
    db::Connection db;
    QVERIFY(db.open(m_home.file(QStringLiteral("fin.mdb")), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE t (x)")).ok());
    {
        db::Transaction tx(db);
        QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (1)")).ok());
        // What a full disk or an I/O error does: the engine rolls the transaction back itself.
        QCOMPARE(sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
        QVERIFY(!db.execute(QStringLiteral("INSERT INTO t VALUES (2)")).ok());
        QVERIFY(!tx.commit().ok());
    }
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 0);
    QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (3)")).ok());
}

// Filling a temporary table before a read needs no write lock on the shared file.
void TestDbWrapper::deferredTransactionDoesNotWaitForTheWriter()
{
    const QString path = m_home.file(QStringLiteral("temporal.mdb"));
    db::Connection db;
    db.setBusyTimeout(20);
    QVERIFY(db.open(path, db::OpenMode::CreateIfMissing).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE t (x)")).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO t VALUES (1)")).ok());
    QVERIFY(db.execute(QStringLiteral("CREATE TEMP TABLE numeros (n)")).ok());
    db::Connection other;
    QVERIFY(other.open(path).ok());
    QVERIFY(other.executeScript(QStringLiteral("BEGIN IMMEDIATE")).ok());
    {
        db::Transaction tx(db, db::Transaction::Mode::Deferred);
        QVERIFY(tx.isActive());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO temp.numeros VALUES (1)")).ok());
        QVERIFY(tx.commit().ok());
    }
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t WHERE x IN (SELECT n FROM temp.numeros)")).toInt(), 1);
    QVERIFY(other.executeScript(QStringLiteral("ROLLBACK")).ok());
}

QTEST_GUILESS_MAIN(TestDbWrapper)
#include "test_db_wrapper.moc"
