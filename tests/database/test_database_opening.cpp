#include "brand/brand.h"
#include "database/compaction.h"
#include "database/defaults.h"
#include "database/opening.h"
#include "database/schema.h"
#include "database/upgrade.h"
#include "platform/db/connection.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"
#include "recording/record_charged.h"
#include "support/file_bytes.h"
#include "support/other_workstation.h"
#include "support/sample_send.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

using testing::ScriptedPrompter;

namespace {

using testing::digest;
using testing::readFile;
using testing::writeFile;

// A client database at `path` (the local file when `path` is the program folder's bbdd.mdb).
void makeDatabase(const QString &path, const QVariant &sharedPath = {})
{
    db::Connection db;
    QVERIFY(db.open(path, db::OpenMode::CreateIfMissing).ok());
    QVERIFY(database::createSchema(db).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,ruta_bbdd) VALUES (?1,?2,?3,?4)"),
                       {QStringLiteral("usuario"), QStringLiteral("clave"), QStringLiteral("1"), sharedPath})
                .ok());
}

QStringList columnsOf(db::Connection &db, const QString &table)
{
    QStringList names;
    for (const db::Row &row : db.select(QStringLiteral("PRAGMA table_info(") + table + QLatin1Char(')')))
        names << row.at(1).toString();
    return names;
}

// The groups' member lists as an older file kept them, beside contacts without grupos_sid.
void makeOldGroupsDatabase(const QString &path, bool agendaHasGroupColumn)
{
    makeDatabase(path);
    db::Connection db;
    QVERIFY(db.open(path).ok());
    if (!agendaHasGroupColumn) {
        QVERIFY(db.executeScript(QStringLiteral(
                                     "DROP TABLE Agenda; CREATE TABLE Agenda (sid INTEGER PRIMARY KEY AUTOINCREMENT, "
                                     "nombre TEXT, telefono TEXT, nombre_completo TEXT, direccion TEXT, telefono_2 TEXT, "
                                     "comentario TEXT, f_nacimiento TEXT)"))
                    .ok());
    }
    QVERIFY(db.execute(QStringLiteral("ALTER TABLE Grupos ADD COLUMN miembros_sid TEXT")).ok());
}

// Rows of one table, written by the engine directly with a key of our choosing (none: a plain
// file of another program).
void writeRawTable(const QString &path, const QByteArray &key)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr),
             SQLITE_OK);
    if (!key.isEmpty())
        QCOMPARE(sqlite3_key(db, key.constData(), int(key.size())), SQLITE_OK);
    QString script = QStringLiteral("PRAGMA page_size=1024; CREATE TABLE t (sid INTEGER PRIMARY KEY, texto TEXT); BEGIN;");
    for (int i = 0; i < 2000; ++i)
        script += QStringLiteral("INSERT INTO t (texto) VALUES ('fila %1 con relleno para ocupar varias páginas');").arg(i);
    script += QStringLiteral("COMMIT;");
    QCOMPARE(sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// The file and its journal as a crash in the middle of a write leaves them: copies of both taken
// while a transaction that rewrote every row of t and then changed the schema was open. The small
// page cache makes the engine write changed pages into the file before the end, so the journal is
// hot; page 1 (the schema) is recorded after the table's pages, as a commit records it.
void crashMidTransaction(const QString &path, const QByteArray &key)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    if (!key.isEmpty())
        QCOMPARE(sqlite3_key(db, key.constData(), int(key.size())), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA cache_size=2; BEGIN; "
                              "UPDATE t SET texto = texto || ' cambiado'; CREATE TABLE z (x);",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    const QString journal = path + QStringLiteral("-journal");
    const QByteArray file = readFile(path);
    const QByteArray journalBytes = readFile(journal);
    QVERIFY(!journalBytes.isEmpty());
    QCOMPARE(sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    QVERIFY(writeFile(path, file));
    QVERIFY(writeFile(journal, journalBytes));
}

quint32 bigEndian32(const QByteArray &bytes, qsizetype at)
{
    return (quint32(quint8(bytes.at(at))) << 24) | (quint32(quint8(bytes.at(at + 1))) << 16)
         | (quint32(quint8(bytes.at(at + 2))) << 8) | quint32(quint8(bytes.at(at + 3)));
}

recording::SendRecord pendingSend(const QString &id, const QString &message) { return testing::sampleSend(id, message); }

} // namespace

class TestDatabaseOpening final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void createsMissingLocalFile();
    void refusesForeignLocalFile_data();
    void refusesForeignLocalFile();
    void journalBesideTheFile_data();
    void journalBesideTheFile();
    void sharedChoice_data();
    void sharedChoice();
    void unopenableSharedFileKeptIntact();
    void compactionRotatesLeftoverCopy();
    void compactionSkipsPathWithoutMdb();
    void leftoverCopyReplacesMissingFile();
    void compactionShrinksInPlace();
    void upgradeAddsMissingColumns();
    void migratesGroups();
    void migrationCleansOldLists();
    void migrationKeepsColumnTypesOutOfSql();
    void parsesMemberLists_data();
    void parsesMemberLists();
    void apostropheNamesRoundTrip();
    void startupDefaults_data();
    void startupDefaults();
    void pendingSendsWrittenAtStart();
    void pendingSendsWaitWhileTheFileIsBusy();
    void cutShortLastLineNeverSwallowsTheNextRecord();
    void writtenRecordsAreNeverWrittenAgain();
    void startTellsWhatWasWrittenAndWhatWaits();
    void appendedRecordsAreSyncedBeforeTheyCount();

private:
    std::unique_ptr<testing::TempHome> m_home;
    QString local() const { return database::localDatabasePath(m_home->path()); }
};

void TestDatabaseOpening::init() { m_home = std::make_unique<testing::TempHome>(); }

void TestDatabaseOpening::createsMissingLocalFile()
{
    ScriptedPrompter prompter;
    db::Connection db;
    const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
    QVERIFY2(r.ok(), qPrintable(r.message));
    QVERIFY(r.created);
    QCOMPARE(r.activeDatabasePath, local());
    QCOMPARE(r.captionSuffix, QString());
    QCOMPARE(prompter.count(), 0);
    QVERIFY(QFile::exists(local()));
    for (const char *table : {"Usuario", "Agenda", "Grupos", "Historial", "Plantillas", "Remitentes", "Automatizado",
                              "Parametros_Excel", "Parametros_Access"})
        QVERIFY2(db.hasTable(QString::fromLatin1(table)), table);
    QCOMPARE(columnsOf(db, QStringLiteral("Historial")).mid(0, 7),
             QStringList({"sid", "destinatario", "f_envio", "f_programada", "mensaje", "id_web", "estado"}));
    QVERIFY(db.hasColumn(QStringLiteral("Historial"), QStringLiteral("username")));
    QVERIFY(db.hasColumn(QStringLiteral("Usuario"), QStringLiteral("version_desktop")));
    QVERIFY(db.hasColumn(QStringLiteral("Agenda"), QStringLiteral("grupos_sid")));
    QVERIFY(!db.hasColumn(QStringLiteral("Grupos"), QStringLiteral("miembros_sid")));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='index' AND tbl_name='Agenda' "
                                      "AND sql LIKE '%telefono%'"))
                 .toInt(),
             1);
    // A send is found by the gateway's number through an index, not by reading the whole history.
    QString plan;
    for (const db::Row &step : db.select(QStringLiteral("EXPLAIN QUERY PLAN SELECT count(*) FROM Historial WHERE "
                                                        "id_web=?1 AND f_envio=?2 AND destinatario=?3"),
                                         {QStringLiteral("1"), QString(), QString()}))
        plan += step.value(3).toString();
    QVERIFY2(plan.contains(QLatin1String("USING INDEX Historial_id_web")), qPrintable(plan));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("SELECT activo FROM Automatizado")).toString(), QStringLiteral("0"));
    // Names compare without case, as the old files did; keys are never reused.
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?1),(?2)"), {"Clientes", "Otros"}).ok());
    QCOMPARE(db.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre=?1"), {"CLIENTES"}).toInt(), 1);
    QVERIFY(db.execute(QStringLiteral("DELETE FROM Grupos WHERE sid=2")).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES ('Nuevo')")).ok());
    QCOMPARE(db.lastInsertRowId(), 3);
}

void TestDatabaseOpening::refusesForeignLocalFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("access file") << QStringLiteral("access");
    QTest::newRow("wrong key") << QStringLiteral("key");
    QTest::newRow("truncated") << QStringLiteral("truncated");
    QTest::newRow("empty file") << QStringLiteral("empty");
    QTest::newRow("our key, other tables") << QStringLiteral("foreign");
}

void TestDatabaseOpening::refusesForeignLocalFile()
{
    QFETCH(QString, kind);
    if (kind == QLatin1String("access")) {
        const QString fixture = testing::sharedFixture(QStringLiteral("fixtures/access/clientes_numerico.mdb"));
        if (fixture.isEmpty())
            QSKIP("Access fixtures not available");
        QVERIFY(QFile::copy(fixture, local()));
        QFile::setPermissions(local(), QFile::ReadOwner | QFile::WriteOwner);
    } else if (kind == QLatin1String("key")) {
        makeDatabase(local());
        db::Connection db;
        QVERIFY(db.open(local()).ok());
        QVERIFY(db.executeScript(QStringLiteral("PRAGMA rekey='otraclave1'")).ok());
    } else if (kind == QLatin1String("truncated")) {
        makeDatabase(local());
        {
            db::Connection db;
            QVERIFY(db.open(local()).ok());
            db::Transaction tx(db);
            for (int i = 0; i < 3000; ++i)
                QVERIFY(db.execute(QStringLiteral("INSERT INTO Historial (destinatario,mensaje) VALUES (?1,?2)"),
                                   {QStringLiteral("600000000"), QStringLiteral("Mensaje de prueba número %1").arg(i)})
                            .ok());
            QVERIFY(tx.commit().ok());
        }
        QVERIFY(QFile::resize(local(), QFileInfo(local()).size() / 2));
    } else if (kind == QLatin1String("empty")) {
        QVERIFY(writeFile(local(), {}));
    } else {
        db::Connection db;
        QVERIFY(db.open(local(), db::OpenMode::CreateIfMissing).ok());
        QVERIFY(db.execute(QStringLiteral("CREATE TABLE Clientes (Id INTEGER)")).ok());
    }
    const QByteArray before = digest(local());
    const qint64 size = QFileInfo(local()).size();

    ScriptedPrompter prompter;
    db::Connection db;
    const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
    QCOMPARE(r.status, database::OpeningStatus::Failed);
    QVERIFY(!db.isOpen());
    QVERIFY(r.message.contains(local()));
    QVERIFY(r.message.contains(QStringLiteral("no se ha modificado")));
    QCOMPARE(prompter.count(), 0);
    QCOMPARE(QFileInfo(local()).size(), size);
    QCOMPARE(digest(local()), before);
    QVERIFY(!QFile::exists(database::compactionCopyPath(local())));
}

// A leftover journal is played back into its file by the engine before any key can be checked,
// and one beside an empty file is deleted. Only our own file may have its journal played back;
// another program's journal (its page 1 recorded last, after other pages) stays untouched
// beside a file that stays untouched.
void TestDatabaseOpening::journalBesideTheFile_data()
{
    QTest::addColumn<QString>("file");          // "key": another key; "empty"; "ours": a client file
    QTest::addColumn<bool>("ownJournal");       // the file's own journal, else another program's
    QTest::addColumn<QString>("folder");        // the program folder, below the test's own
    const QString plain;
    const QString odd = QStringLiteral("Año #1 ?%20 & más");
    QTest::newRow("another key, another program's journal") << QStringLiteral("key") << false << plain;
    QTest::newRow("another key, its own journal") << QStringLiteral("key") << true << plain;
    QTest::newRow("empty file, another program's journal") << QStringLiteral("empty") << false << plain;
    QTest::newRow("our file, another program's journal") << QStringLiteral("ours") << false << plain;
    QTest::newRow("our file, its own journal") << QStringLiteral("ours") << true << plain;
    QTest::newRow("our file, its own journal, odd folder name") << QStringLiteral("ours") << true << odd;
    QTest::newRow("another key, its own journal, odd folder name") << QStringLiteral("key") << true << odd;
}

void TestDatabaseOpening::journalBesideTheFile()
{
    QFETCH(QString, file);
    QFETCH(bool, ownJournal);
    QFETCH(QString, folder);
    QVERIFY(QDir(m_home->path()).mkpath(folder.isEmpty() ? QStringLiteral(".") : folder));
    const QString programFolder = QDir(m_home->path()).filePath(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QString database = database::localDatabasePath(programFolder);
    const QString journal = database + QStringLiteral("-journal");

    QByteArray foreignJournal;
    if (!ownJournal) {
        const QString other = m_home->file(QStringLiteral("otro.sqlite"));
        writeRawTable(other, {});
        crashMidTransaction(other, {});
        foreignJournal = readFile(other + QStringLiteral("-journal"));
        // Page 1 is not the first page recorded, but it is there.
        const quint32 sector = bigEndian32(foreignJournal, 20);
        QVERIFY(bigEndian32(foreignJournal, sector) != 1);
        QVERIFY(foreignJournal.contains(QByteArrayLiteral("SQLite format 3")));
    }

    const QByteArray ourKey = db::Connection::key().toUtf8();
    if (file == QLatin1String("empty")) {
        QVERIFY(writeFile(database, {}));
    } else {
        makeDatabase(database);
        {
            db::Connection db;
            QVERIFY(db.open(database).ok());
            if (file == QLatin1String("key"))
                QVERIFY(db.executeScript(QStringLiteral("PRAGMA rekey='otraclave1'")).ok());
        }
        writeRawTable(database, file == QLatin1String("key") ? QByteArray("otraclave1") : ourKey);
        if (ownJournal)
            crashMidTransaction(database, file == QLatin1String("key") ? QByteArray("otraclave1") : ourKey);
    }
    if (!ownJournal)
        QVERIFY(writeFile(journal, foreignJournal));
    const QByteArray before = digest(database);
    const QByteArray journalBefore = digest(journal);

    ScriptedPrompter prompter;
    db::Connection db;
    const database::OpeningResult r = database::openDatabase(db, programFolder, prompter);
    if (file == QLatin1String("ours") && ownJournal) {
        // Our own interrupted write is undone by its journal, as always.
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 2000);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t WHERE texto LIKE '%cambiado'")).toInt(), 0);
        QVERIFY(!db.hasTable(QStringLiteral("z")));
        QVERIFY(!QFile::exists(journal));
        return;
    }
    QCOMPARE(r.status, database::OpeningStatus::Failed);
    QVERIFY(!db.isOpen());
    QVERIFY(r.message.contains(QStringLiteral("no se ha modificado")));
    QCOMPARE(digest(database), before);
    QVERIFY(QFile::exists(journal));
    QCOMPARE(digest(journal), journalBefore);
}

void TestDatabaseOpening::sharedChoice_data()
{
    // How ruta_bbdd is set: "none", "5", "6" (a missing relative path), "local", "shared" (an
    // existing shared file), "missing" (an absent file in an existing folder).
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("answer");           // to "Configuracion automatica": 0 OK, 1 Cancel
    QTest::addColumn<bool>("onShared");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("settingKept");
    QTest::newRow("no setting") << "none" << 0 << false << "" << 0 << true;
    QTest::newRow("5 characters ignored") << "5" << 0 << false << "" << 0 << true;
    QTest::newRow("6 characters used, cancel") << "6" << 1 << false << " - LOCAL" << 2 << true;
    QTest::newRow("the local path itself") << "local" << 0 << false << "" << 0 << true;
    QTest::newRow("the local file by a second name") << "second name" << 0 << false << "" << 0 << true;
    QTest::newRow("existing shared file") << "shared" << 0 << true << " - RED" << 0 << true;
    QTest::newRow("missing shared, OK") << "missing" << 0 << false << "" << 2 << false;
    QTest::newRow("missing shared, Cancel") << "missing" << 1 << false << " - LOCAL" << 2 << true;
    // The database refuses to keep the choice: it still points at the shared file, so this
    // session works locally as after Cancel, and the next start asks again.
    QTest::newRow("missing shared, OK not kept") << "missing unsaved" << 0 << false << " - LOCAL" << 2 << true;
}

void TestDatabaseOpening::sharedChoice()
{
    QFETCH(QString, setting);
    QFETCH(int, answer);
    QFETCH(bool, onShared);
    QFETCH(QString, suffix);
    QFETCH(int, messages);
    QFETCH(bool, settingKept);

    QDir(m_home->path()).mkdir(QStringLiteral("red"));
    const QString shared = m_home->file(QStringLiteral("red/bbdd.mdb"));
    QVariant value;
    if (setting == QLatin1String("5"))
        value = QStringLiteral("C:\\ab");
    else if (setting == QLatin1String("6"))
        value = QStringLiteral("zz.mdb");
    else if (setting == QLatin1String("local"))
        value = QString(m_home->path() + QStringLiteral("/./bbdd.mdb"));
    else if (setting == QLatin1String("shared") || setting.startsWith(QLatin1String("missing"))
             || setting == QLatin1String("second name"))
        value = shared;
    makeDatabase(local(), value);
    if (setting == QLatin1String("missing unsaved")) {
        db::Connection raw;
        QVERIFY(raw.open(local()).ok());
        QVERIFY(raw.execute(QStringLiteral("CREATE TRIGGER keep_route BEFORE UPDATE OF ruta_bbdd ON Usuario "
                                           "BEGIN SELECT RAISE(ABORT, 'read-only setting'); END"))
                    .ok());
    }
    if (setting == QLatin1String("shared"))
        makeDatabase(shared);
    if (setting == QLatin1String("second name"))
        QCOMPARE(::link(QFile::encodeName(local()).constData(), QFile::encodeName(shared).constData()), 0);

    ScriptedPrompter prompter;
    prompter.answerMessage(ui::Answer::Ok);
    prompter.answerMessage(answer == 0 ? ui::Answer::Ok : ui::Answer::Cancel);
    db::Connection db;
    const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(r.captionSuffix, suffix);
    QCOMPARE(r.activeDatabasePath, onShared ? shared : local());
    QCOMPARE(db.path(), r.activeDatabasePath);
    QCOMPARE(prompter.count(), messages);
    QVERIFY2(!prompter.hasUnexpected(), prompter.unexpectedReport().constData());
    if (messages == 2) {
        const auto calls = prompter.calls();
        QCOMPARE(calls[0].title, QStringLiteral("Error conexión en red"));
        QCOMPARE(calls[0].icon, ui::Icon::Critical);
        QVERIFY(calls[0].text.contains(QLatin1Char('(') + value.toString() + QStringLiteral("), y trabajará en red local")));
        QVERIFY(calls[0].text.startsWith(brand::brandName() + QStringLiteral(" Desktop no ha podido")));
        QCOMPARE(calls[1].title, QStringLiteral("Configuracion automatica"));
        QCOMPARE(calls[1].buttons, ui::Buttons::OkCancel);
    }
    if (!onShared) {
        const QVariant stored = db.scalar(QStringLiteral("SELECT ruta_bbdd FROM Usuario"));
        QCOMPARE(stored, settingKept ? (value.isValid() ? value : QVariant()) : QVariant(local()));
    }
    QVERIFY(!QFile::exists(setting.startsWith(QLatin1String("missing")) ? shared : m_home->file(QStringLiteral("zz.mdb"))));
}

void TestDatabaseOpening::unopenableSharedFileKeptIntact()
{
    QDir(m_home->path()).mkdir(QStringLiteral("red"));
    const QString shared = m_home->file(QStringLiteral("red/bbdd.mdb"));
    QVERIFY(writeFile(shared, QByteArray("Standard Jet DB").repeated(300)));
    const QByteArray before = digest(shared);
    makeDatabase(local(), shared);

    ScriptedPrompter prompter;
    prompter.answerMessage(ui::Answer::Ok);
    db::Connection db;
    const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
    QVERIFY(r.ok());
    QCOMPARE(r.captionSuffix, QStringLiteral(" - LOCAL"));
    QCOMPARE(r.activeDatabasePath, local());
    QCOMPARE(db.path(), local());
    QCOMPARE(prompter.count(), 1);
    QCOMPARE(prompter.lastCall().title, QStringLiteral("Error conexión en red"));
    QCOMPARE(prompter.lastCall().text, database::sharedFileUnreachableMessage());
    QCOMPARE(digest(shared), before);
    QCOMPARE(db.scalar(QStringLiteral("SELECT ruta_bbdd FROM Usuario")).toString(), shared);
}

void TestDatabaseOpening::compactionRotatesLeftoverCopy()
{
    makeDatabase(local());
    const QString copy = m_home->file(QStringLiteral("bbdd_copia.mdb"));
    const QString keptCopy = m_home->file(QStringLiteral("bbdd_copia2.mdb"));
    QCOMPARE(database::compactionCopyPath(local()), copy);
    QCOMPARE(database::keptCopyPath(local()), keptCopy);
    QVERIFY(writeFile(copy, "copia reciente"));
    QVERIFY(writeFile(keptCopy, "copia antigua"));

    ScriptedPrompter prompter;
    {
        db::Connection db;
        const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
        QVERIFY(r.ok());
        QCOMPARE(r.compaction.status, database::CompactionStatus::LeftoverKept);
    }
    QVERIFY(!QFile::exists(copy));
    QCOMPARE(readFile(keptCopy), QByteArray("copia reciente"));
    {
        db::Connection db;
        const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
        QVERIFY(r.ok());
        QCOMPARE(r.compaction.status, database::CompactionStatus::Compacted);
        QCOMPARE(db.scalar(QStringLiteral("SELECT login FROM Usuario")).toString(), QStringLiteral("usuario"));
    }
    QVERIFY(QFile::exists(local()));
    QVERIFY(!QFile::exists(copy));
}

// bbdd.mdb gone and bbdd_copia.mdb left by an interrupted compaction: the copy is the user's
// database and takes the file's place, with a word to the user. A copy that is not a client
// database is kept aside as before, beside a new empty file.
void TestDatabaseOpening::leftoverCopyReplacesMissingFile()
{
    const QString copy = database::compactionCopyPath(local());
    const QString keptCopy = database::keptCopyPath(local());
    makeDatabase(copy);
    {
        db::Connection db;
        QVERIFY(db.open(copy).ok());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES ('Ana','34600000001')")).ok());
    }
    ScriptedPrompter prompter;
    {
        db::Connection db;
        const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QVERIFY(r.restoredCopy);
        QVERIFY(!r.created);
        QCOMPARE(db.scalar(QStringLiteral("SELECT nombre FROM Agenda")).toString(), QStringLiteral("Ana"));
        QCOMPARE(db.scalar(QStringLiteral("SELECT login FROM Usuario")).toString(), QStringLiteral("usuario"));
    }
    QVERIFY(QFile::exists(local()));
    QVERIFY(!QFile::exists(copy));
    QVERIFY(!QFile::exists(keptCopy));
    QCOMPARE(prompter.count(), 1);
    QCOMPARE(prompter.lastCall().title, database::restoredCopyTitle());
    QVERIFY(prompter.lastCall().text.contains(local()));

    // Not a client database: nothing is taken from it, it is kept aside.
    QVERIFY(QFile::remove(local()));
    QVERIFY(writeFile(copy, "no es una base de datos"));
    db::Connection db;
    const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
    QVERIFY(r.ok());
    QVERIFY(r.created);
    QVERIFY(!r.restoredCopy);
    QCOMPARE(readFile(keptCopy), QByteArray("no es una base de datos"));
}

void TestDatabaseOpening::compactionSkipsPathWithoutMdb()
{
    for (const QString &name : {QStringLiteral("bbdd.MDB"), QStringLiteral("agenda.db")}) {
        const QString path = m_home->file(name);
        makeDatabase(path);
        db::Connection db;
        QVERIFY(db.open(path).ok());
        QVERIFY(database::compactionCopyPath(path).isEmpty());
        QCOMPARE(database::compactDatabase(db).status, database::CompactionStatus::Skipped);
        QVERIFY(db.isOpen());
        QCOMPARE(db.scalar(QStringLiteral("SELECT login FROM Usuario")).toString(), QStringLiteral("usuario"));
        QVERIFY(QFile::exists(path));
    }
}

void TestDatabaseOpening::compactionShrinksInPlace()
{
    makeDatabase(local());
    db::Connection db;
    QVERIFY(db.open(local()).ok());
    {
        db::Transaction tx(db);
        for (int i = 0; i < 2000; ++i)
            QVERIFY(db.execute(QStringLiteral("INSERT INTO Historial (mensaje) VALUES (?1)"),
                               {QString(200, QLatin1Char('x'))})
                        .ok());
        QVERIFY(tx.commit().ok());
    }
    QVERIFY(db.execute(QStringLiteral("DELETE FROM Historial")).ok());
    const qint64 before = QFileInfo(local()).size();
    QVERIFY(database::compactDatabase(db).compacted());
    QVERIFY(QFileInfo(local()).size() < before / 4);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 1);
}

void TestDatabaseOpening::upgradeAddsMissingColumns()
{
    makeDatabase(local());
    db::Connection db;
    QVERIFY(db.open(local()).ok());
    // An older file: the two columns later versions added are missing.
    QVERIFY(db.executeScript(QStringLiteral(
                                 "DROP TABLE Historial; CREATE TABLE Historial (sid INTEGER PRIMARY KEY AUTOINCREMENT, "
                                 "destinatario TEXT, f_envio TEXT, f_programada TEXT, mensaje TEXT, id_web TEXT, "
                                 "estado TEXT, remitente TEXT, creditos REAL, bool_cumple TEXT);"
                                 "CREATE TABLE U2 AS SELECT sid,login,pass,ruta,saldo,huso_horario,ruta_bbdd,"
                                 "defecto_agenda FROM Usuario; DROP TABLE Usuario; ALTER TABLE U2 RENAME TO Usuario"))
                .ok());
    database::UpgradeResult r = database::upgradeSchema(db);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.added, QStringList({"Usuario.version_desktop", "Historial.username"}));
    QCOMPARE(columnsOf(db, QStringLiteral("Historial")).constLast(), QStringLiteral("username"));
    // The rebuilt table lost its indexes; an older file gets the history's paging indexes back, and
    // the one that finds a send by the gateway's number.
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(name) FROM (SELECT name FROM sqlite_master "
                                      "WHERE type='index' AND tbl_name='Historial' ORDER BY name)"))
                 .toString(),
             QStringLiteral("Historial_f_programada,Historial_id_web,Historial_sid"));
    r = database::upgradeSchema(db);
    QVERIFY(r.ok());
    QVERIFY(r.added.isEmpty());
}

void TestDatabaseOpening::migratesGroups()
{
    makeOldGroupsDatabase(local(), false);
    {
        db::Connection db;
        QVERIFY(db.open(local()).ok());
        const QStringList phones = {"+34600000001", "++34600000002", "600000003", "600000004", "+"};
        for (const QString &phone : phones)
            QVERIFY(db.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES (?1,?2)"),
                               {QStringLiteral("Seán O'Donnell"), phone})
                        .ok());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO Grupos (nombre,miembros_sid) VALUES (?1,?2),(?3,?4),(?5,?6),(?7,?8)"),
                           {"Clientes", "1,2,3", "Proveedores", " 2, 3 ,abc,,99,4x,2", "Vacío", "", "Borrado", "5"})
                    .ok());
        QVERIFY(db.execute(QStringLiteral("DELETE FROM Grupos WHERE nombre='Borrado'")).ok());
    }

    ScriptedPrompter prompter;
    prompter.answerMessage(ui::Answer::Ok);
    db::Connection db;
    database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
    QVERIFY(r.ok());
    QCOMPARE(r.migration.status, database::MigrationStatus::Migrated);
    QCOMPARE(r.migration.groups, 2);
    QCOMPARE(r.migration.droppedIds, 2);
    QCOMPARE(prompter.count(), 1);
    QCOMPARE(prompter.lastCall().text, database::maintenanceMessage());
    QCOMPARE(prompter.lastCall().title, QString());

    QStringList lists;
    QStringList phones;
    for (const db::Row &row : db.select(QStringLiteral("SELECT grupos_sid,telefono FROM Agenda ORDER BY sid"))) {
        lists << (row.at(0).isValid() ? row.at(0).toString() : QStringLiteral("<null>"));
        phones << row.at(1).toString();
    }
    QCOMPARE(lists, QStringList({"1", "1,2", "1,2", "<null>", "<null>"}));
    QCOMPARE(phones, QStringList({"34600000001", "+34600000002", "600000003", "600000004", ""}));
    QVERIFY(!db.hasColumn(QStringLiteral("Grupos"), QStringLiteral("miembros_sid")));
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(sid || '=' || nombre) FROM Grupos")).toString(),
             QStringLiteral("1=Clientes,2=Proveedores,3=Vacío"));
    // The deleted group's key stays used, and names still compare without case.
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES ('Nuevo')")).ok());
    QCOMPARE(db.lastInsertRowId(), 5);
    QCOMPARE(db.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre='CLIENTES'")).toInt(), 1);
    db.close();

    // A second start finds nothing to do and says nothing.
    r = database::openDatabase(db, m_home->path(), prompter);
    QVERIFY(r.ok());
    QCOMPARE(r.migration.status, database::MigrationStatus::NotNeeded);
    QCOMPARE(prompter.count(), 1);
    QCOMPARE(db.scalar(QStringLiteral("SELECT telefono FROM Agenda WHERE sid=2")).toString(), QStringLiteral("+34600000002"));
}

void TestDatabaseOpening::migrationCleansOldLists()
{
    makeOldGroupsDatabase(local(), true);
    db::Connection db;
    QVERIFY(db.open(local()).ok());
    const QVariantList before = {QStringLiteral(","), QStringLiteral("7,,8,"), QVariant(), QStringLiteral(",9")};
    for (const QVariant &list : before)
        QVERIFY(db.execute(QStringLiteral("INSERT INTO Agenda (nombre,grupos_sid) VALUES ('x',?1)"), {list}).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Grupos (nombre,miembros_sid) VALUES ('G',?1)"), {"1,2"}).ok());
    const qint64 g = db.lastInsertRowId();

    ScriptedPrompter prompter;
    const database::MigrationResult r = database::migrateGroups(db, prompter);
    QCOMPARE(r.status, database::MigrationStatus::Migrated);
    QCOMPARE(prompter.count(), 1);
    QStringList lists;
    for (const db::Row &row : db.select(QStringLiteral("SELECT grupos_sid FROM Agenda ORDER BY sid")))
        lists << (row.at(0).isValid() ? row.at(0).toString() : QStringLiteral("<null>"));
    const QString gs = QString::number(g);
    QCOMPARE(lists, QStringList({gs, QStringLiteral("7,8,") + gs, QStringLiteral("<null>"), QStringLiteral("9")}));
}

// A shared file is written by other workstations and programs: the column types it declares are
// data, and rebuilding the groups table must never run them.
void TestDatabaseOpening::migrationKeepsColumnTypesOutOfSql()
{
    makeOldGroupsDatabase(local(), true);
    {
        db::Connection db;
        QVERIFY(db.open(local()).ok());
        QVERIFY(db.execute(QStringLiteral("ALTER TABLE Grupos ADD COLUMN nota \"TEXT); DROP TABLE Agenda; --\"")).ok());
        QVERIFY(db.execute(QStringLiteral("ALTER TABLE Grupos ADD COLUMN \"peso\"\"; DROP TABLE Usuario; --\" "
                                          "\"DOUBLE); DELETE FROM Usuario; --\"")).ok());
        QVERIFY(db.execute(QStringLiteral("ALTER TABLE Grupos ADD COLUMN orden \"INT) ; DELETE FROM Agenda; --\"")).ok());
        QVERIFY(db.execute(QStringLiteral("ALTER TABLE Grupos ADD COLUMN cosa \"UNSIGNED BIG(INTEGER\"")).ok());
        QVERIFY(db.execute(QStringLiteral("ALTER TABLE Grupos ADD COLUMN bruto")).ok());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES ('Ana','600000001')")).ok());
        QVERIFY(db.execute(QStringLiteral("INSERT INTO Grupos (nombre,miembros_sid,nota,\"peso\"\"; DROP TABLE Usuario; --\","
                                          "orden,cosa,bruto) VALUES ('G','1',?1,?2,?3,?4,?5)"),
                           {QStringLiteral("nota'); --"), 2.5, 7, 8, QByteArray("\x00\x01", 2)})
                    .ok());
    }

    ScriptedPrompter prompter;
    db::Connection db;
    QVERIFY(db.open(local()).ok());
    const database::MigrationResult r = database::migrateGroups(db, prompter);
    QCOMPARE(r.status, database::MigrationStatus::Migrated);
    QVERIFY(db.hasTable(QStringLiteral("Agenda")));
    QVERIFY(db.hasTable(QStringLiteral("Usuario")));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 1);
    QCOMPARE(db.scalar(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE nombre='Ana'")).toString(), QStringLiteral("1"));
    QVERIFY(!db.hasColumn(QStringLiteral("Grupos"), QStringLiteral("miembros_sid")));

    QStringList types;
    for (const db::Row &info : db.select(QStringLiteral("PRAGMA table_info(Grupos)")))
        types << info.at(1).toString() + QLatin1Char(' ') + info.at(2).toString();
    QCOMPARE(types, QStringList({"sid INTEGER", "nombre TEXT", "nota TEXT", "peso\"; DROP TABLE Usuario; -- REAL",
                                 "orden INTEGER", "cosa INTEGER", "bruto BLOB"}));
    const db::Row row = db.select(QStringLiteral("SELECT nombre,nota,\"peso\"\"; DROP TABLE Usuario; --\",orden,cosa,"
                                                 "typeof(bruto) FROM Grupos"))
                            .at(0);
    QCOMPARE(row.at(0).toString(), QStringLiteral("G"));
    QCOMPARE(row.at(1).toString(), QStringLiteral("nota'); --"));
    QCOMPARE(row.at(2).toDouble(), 2.5);
    QCOMPARE(row.at(3).toInt(), 7);
    QCOMPARE(row.at(4).toInt(), 8);
    QCOMPARE(row.at(5).toString(), QStringLiteral("blob"));
}

void TestDatabaseOpening::parsesMemberLists_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("ids");
    QTest::addColumn<int>("dropped");
    QTest::newRow("plain") << "1,2,3" << "1,2,3" << 0;
    QTest::newRow("blanks and empties") << " 4 ,, 5 ," << "4,5" << 0;
    QTest::newRow("repeats") << "7,7,8" << "7,8" << 0;
    QTest::newRow("garbage") << "1,abc,2x,-3,0,1e3, 9" << "1,9" << 5;
    QTest::newRow("empty") << "" << "" << 0;
}

void TestDatabaseOpening::parsesMemberLists()
{
    QFETCH(QString, list);
    QFETCH(QString, ids);
    QFETCH(int, dropped);
    const database::IdList parsed = database::parseIdList(list);
    QStringList got;
    for (const qint64 id : parsed.ids)
        got << QString::number(id);
    QCOMPARE(got.join(QLatin1Char(',')), ids);
    QCOMPARE(parsed.dropped, dropped);
}

void TestDatabaseOpening::apostropheNamesRoundTrip()
{
    ScriptedPrompter prompter;
    db::Connection db;
    QVERIFY(database::openDatabase(db, m_home->path(), prompter).ok());
    const QString name = QStringLiteral("Martín D'Ors \"Nena\" Col·lell");
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES (?1,?2)"),
                       {name, QStringLiteral("612'345'685")})
                .ok());
    QCOMPARE(db.scalar(QStringLiteral("SELECT nombre FROM Agenda WHERE telefono=?1"), {"612'345'685"}).toString(), name);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Agenda WHERE nombre LIKE ?1"), {"%d'ors%"}).toInt(), 1);
}

void TestDatabaseOpening::startupDefaults_data()
{
    QTest::addColumn<QVariant>("login");
    QTest::addColumn<QVariant>("route");
    QTest::addColumn<QVariant>("zone");
    QTest::addColumn<QVariant>("sharedPath");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("effectiveRoute");
    QTest::addColumn<QString>("storedRoute");
    QTest::addColumn<QString>("storedZone");
    QTest::addColumn<QString>("storedSharedPath");   // "P" stands for the local path
    const QVariant null;
    const int written = int(database::DefaultsStatus::Written);
    const int none = int(database::DefaultsStatus::NoAccount);
    QTest::newRow("both null") << QVariant("u") << QVariant("1") << null << null << written << "1" << "1"
                               << "GMT +01:00" << "P";
    QTest::newRow("zone null, path set") << QVariant("u") << QVariant("3") << null << QVariant("/red/bbdd.mdb")
                                         << written << "3" << "3" << "GMT +01:00" << "/red/bbdd.mdb";
    QTest::newRow("zone set, path empty") << QVariant("u") << QVariant("3") << QVariant("GMT -05:00") << QVariant("")
                                          << written << "3" << "3" << "GMT -05:00" << "P";
    QTest::newRow("route 0 read as 3, kept") << QVariant("u") << QVariant("0") << QVariant("GMT +01:00")
                                             << QVariant("/x/y.mdb") << written << "3" << "0" << "GMT +01:00"
                                             << "/x/y.mdb";
    QTest::newRow("route 7 rewritten") << QVariant("u") << QVariant("7") << QVariant("z") << QVariant("/x/y.mdb")
                                       << written << "3" << "3" << "z" << "/x/y.mdb";
    QTest::newRow("route empty rewritten") << QVariant("u") << QVariant("") << QVariant("z") << QVariant("/x/y.mdb")
                                           << written << "3" << "3" << "z" << "/x/y.mdb";
    QTest::newRow("route null rewritten") << QVariant("u") << null << QVariant("z") << QVariant("/x/y.mdb") << written
                                          << "3" << "3" << "z" << "/x/y.mdb";
    QTest::newRow("no login: untouched") << QVariant("") << QVariant("7") << null << null << none << "" << "7"
                                         << "<null>" << "<null>";
}

void TestDatabaseOpening::startupDefaults()
{
    QFETCH(QVariant, login);
    QFETCH(QVariant, route);
    QFETCH(QVariant, zone);
    QFETCH(QVariant, sharedPath);
    QFETCH(int, status);
    QFETCH(QString, effectiveRoute);
    QFETCH(QString, storedRoute);
    QFETCH(QString, storedZone);
    QFETCH(QString, storedSharedPath);
    db::Connection db;
    QVERIFY(db.open(local(), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(database::createSchema(db).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Usuario (login,ruta,huso_horario,ruta_bbdd) VALUES (?1,?2,?3,?4)"),
                       {login, route, zone, sharedPath})
                .ok());
    const database::DefaultsResult r = database::writeStartupDefaults(db, m_home->path());
    QCOMPARE(int(r.status), status);
    QCOMPARE(r.route, effectiveRoute);
    const db::Row row = db.select(QStringLiteral("SELECT ruta,huso_horario,ruta_bbdd FROM Usuario")).front();
    auto shown = [](const QVariant &v) { return v.isValid() ? v.toString() : QStringLiteral("<null>"); };
    QCOMPARE(shown(row.at(0)), storedRoute);
    QCOMPARE(shown(row.at(1)), storedZone);
    QCOMPARE(shown(row.at(2)), storedSharedPath == QLatin1String("P") ? local() : storedSharedPath);
}


// Charged sends that could not be recorded wait beside the database; the next start writes each
// once, keeps what is not a record for a person to look at, and removes the rest of the file.
void TestDatabaseOpening::pendingSendsWrittenAtStart()
{
    makeDatabase(local());
    const recording::SendRecord recorded = pendingSend(QStringLiteral("2"), QStringLiteral("ya guardado"));
    {
        db::Connection db;
        QVERIFY(db.open(local()).ok());
        QVERIFY(recording::insertSendOnce(db, recorded).ok());
    }
    const QString file = recording::pendingSendsPath(local());
    QCOMPARE(file, m_home->file(QStringLiteral("envios_pendientes.txt")));
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("1"), QStringLiteral("Hola O'Neill\nlínea 2 | € ñ"))));
    QVERIFY(recording::appendPendingSend(file, recorded));
    QFile junk(file);
    QVERIFY(junk.open(QIODevice::Append));
    junk.write("{\"username\":\"cortado\n");
    junk.close();
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("3"), QStringLiteral("tercero"))));

    ScriptedPrompter prompter;
    db::Connection db;
    const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(r.pending.status, recording::PendingWrite::Status::Written);
    QCOMPARE(r.pending.written, 2);
    QCOMPARE(r.pending.alreadyThere, 1);
    QCOMPARE(r.pending.unreadable, 1);
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(id_web) FROM (SELECT id_web FROM Historial ORDER BY sid)"))
                 .toString(),
             QStringLiteral("2,1,3"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT mensaje FROM Historial WHERE id_web='1'")).toString(),
             QStringLiteral("Hola O'Neill\nlínea 2 | € ñ"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT estado FROM Historial WHERE id_web='1'")).toString(),
             QStringLiteral("0|0|0"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT creditos FROM Historial WHERE id_web='3'")).toDouble(), 1.5);
    // What is not a record is set aside beside it, and the user is told so, once.
    QVERIFY(!QFile::exists(file));
    QCOMPARE(readFile(recording::setAsidePath(local())), QByteArray("{\"username\":\"cortado\n"));
    QCOMPARE(prompter.count(), 1);
    QVERIFY(prompter.lastCall().text.contains(QStringLiteral("Se han guardado en el historial 2 envíos cobrados")));
    QVERIFY(prompter.lastCall().text.contains(QStringLiteral("se ha apartado en")));

    // The next start finds nothing more to write, and says nothing.
    db.close();
    const database::OpeningResult again = database::openDatabase(db, m_home->path(), prompter);
    QCOMPARE(again.pending.written, 0);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 3);
    QCOMPARE(prompter.count(), 1);
}

// Another workstation holds the shared file all through the start: nothing is written, and the
// file stays whole for the start after.
void TestDatabaseOpening::pendingSendsWaitWhileTheFileIsBusy()
{
    makeDatabase(local());
    const QString file = recording::pendingSendsPath(local());
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("7"), QStringLiteral("uno"))));
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("8"), QStringLiteral("dos"))));
    const QByteArray before = readFile(file);
    db::Connection db;
    QVERIFY(db.open(local()).ok());
    {
        testing::OtherWorkstation other(db, false);
        const recording::PendingWrite w = recording::writePendingSends(db);
        QCOMPARE(w.status, recording::PendingWrite::Status::Failed);
        QCOMPARE(w.written, 0);
    }
    QCOMPARE(readFile(file), before);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 0);
    QCOMPARE(recording::writePendingSends(db).written, 2);
    QVERIFY(!QFile::exists(file));
}

// A crash or a full disk cut the last line short: the next charged send starts on a line of its
// own, reaches the history, and only the broken piece is set aside.
void TestDatabaseOpening::cutShortLastLineNeverSwallowsTheNextRecord()
{
    makeDatabase(local());
    const QString file = recording::pendingSendsPath(local());
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("1"), QStringLiteral("uno"))));
    QFile cut(file);
    QVERIFY(cut.open(QIODevice::Append));
    cut.write("{\"username\":\"usuario\",\"destinat");
    cut.close();
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("2"), QStringLiteral("dos"))));

    db::Connection db;
    QVERIFY(db.open(local()).ok());
    const recording::PendingWrite w = recording::writePendingSends(db);
    QCOMPARE(w.written, 2);
    QCOMPARE(w.unreadable, 1);
    QVERIFY(w.setAside);
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(id_web) FROM (SELECT id_web FROM Historial ORDER BY sid)"))
                 .toString(),
             QStringLiteral("1,2"));
    QCOMPARE(readFile(recording::setAsidePath(local())), QByteArray("{\"username\":\"usuario\",\"destinat\n"));
}

namespace {

// Another program writes into the pending file the start-up has taken, while it commits: the
// file cannot be emptied afterwards and stays as it is.
int writeDuringCommit(void *path)
{
    const QFileInfo file(*static_cast<const QString *>(path));
    for (const QString &name : file.dir().entryList(QDir::Files)) {
        if (name.startsWith(file.fileName() + QLatin1Char('.'))) {
            QFile taken(file.dir().filePath(name));
            if (taken.open(QIODevice::Append))
                taken.write("\n");
        }
    }
    return 0;
}

} // namespace

// A record written at one start is never written at the next, whatever its gateway number, even
// when the file could not be emptied in between; the user hears why the file is still there.
void TestDatabaseOpening::writtenRecordsAreNeverWrittenAgain()
{
    makeDatabase(local());
    const QString file = recording::pendingSendsPath(local());
    QVERIFY(recording::appendPendingSend(file, pendingSend(QString(), QStringLiteral("sin número"))));
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("5"), QStringLiteral("con número"))));
    db::Connection db;
    QVERIFY(db.open(local()).ok());
    QString path = file;
    sqlite3_commit_hook(db.handle(), writeDuringCommit, &path);
    const recording::PendingWrite first = recording::writePendingSends(db);
    sqlite3_commit_hook(db.handle(), nullptr, nullptr);
    QCOMPARE(first.status, recording::PendingWrite::Status::Written);
    QCOMPARE(first.written, 2);
    QVERIFY(first.fileKept);
    QCOMPARE(recording::readPendingRecords(file).size(), 2);
    QVERIFY(recording::pendingWriteReport(first).contains(QStringLiteral("no se volverán a guardar")));

    const recording::PendingWrite again = recording::writePendingSends(db);
    QCOMPARE(again.written, 0);
    QCOMPARE(again.alreadyThere, 2);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 2);
    QVERIFY(!QFile::exists(file));
    QVERIFY(recording::readPendingRecords(file).isEmpty());
}

// Whatever keeps the file from being written, the start says what waits and why, in one box.
void TestDatabaseOpening::startTellsWhatWasWrittenAndWhatWaits()
{
    makeDatabase(local());
    const QString file = recording::pendingSendsPath(local());
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("7"), QStringLiteral("uno"))));
    QVERIFY(recording::appendPendingSend(file, pendingSend(QStringLiteral("8"), QStringLiteral("dos"))));
    {
        db::Connection db;
        QVERIFY(db.open(local()).ok());
        testing::OtherWorkstation other(db, false);
        const QString report = recording::pendingWriteReport(recording::writePendingSends(db));
        QVERIFY2(report.contains(QStringLiteral("2 envíos cobrados siguen pendientes de guardar en el historial: la base "
                                                "de datos está ocupada por otro puesto")),
                 qPrintable(report));
        QVERIFY(report.contains(QDir::toNativeSeparators(file)));
    }
    {
        // Over its size limit: not read, not changed, and said so.
        QFile big(file);
        QVERIFY(big.open(QIODevice::Append));
        QVERIFY(big.resize(recording::kMaxPendingBytes + 1));
        big.close();
        ScriptedPrompter prompter;
        db::Connection db;
        const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
        QVERIFY(r.ok());
        QCOMPARE(r.pending.reason, recording::PendingWrite::Reason::TooLarge);
        QCOMPARE(prompter.count(), 1);
        QVERIFY(prompter.lastCall().text.contains(QStringLiteral("supera el tamaño máximo de 16 MB")));
        QCOMPARE(prompter.lastCall().icon, ui::Icon::Warning);
        QCOMPARE(QFileInfo(file).size(), recording::kMaxPendingBytes + 1);
    }
    {
        // A file that cannot be read at all.
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral("envios_pendientes.txt")));
        db::Connection db;
        QVERIFY(db.open(local()).ok());
        const recording::PendingWrite w = recording::writePendingSends(db);
        QCOMPARE(w.reason, recording::PendingWrite::Reason::CannotRead);
        QVERIFY(recording::pendingWriteReport(w).contains(QStringLiteral("No se ha podido leer el archivo de envíos")));
    }
}

// A record counts as kept only once the system has it on disk: the sync comes after the whole
// line, and a sync that fails means the record is not kept.
void TestDatabaseOpening::appendedRecordsAreSyncedBeforeTheyCount()
{
    const QString file = recording::pendingSendsPath(local());
    QList<QByteArray> seenAtSync;
    const recording::FileSync watch = [&](QFileDevice &device) {
        seenAtSync.append(readFile(file));
        return recording::syncToDisk(device);
    };
    QVERIFY(recording::appendPendingRecords(file, {pendingSend(QStringLiteral("1"), QStringLiteral("uno"))}, watch));
    QCOMPARE(seenAtSync.size(), 1);
    QVERIFY(seenAtSync.first().endsWith('\n'));
    QVERIFY(recording::parsePendingLine(seenAtSync.first().trimmed()));
    QVERIFY(!recording::appendPendingRecords(file, {pendingSend(QStringLiteral("2"), QStringLiteral("dos"))},
                                           [](QFileDevice &) { return false; }));
}

QTEST_GUILESS_MAIN(TestDatabaseOpening)
#include "test_database_opening.moc"
