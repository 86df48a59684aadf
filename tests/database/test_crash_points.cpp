#include "database/compaction.h"
#include "database/opening.h"
#include "database/schema.h"
#include "database/upgrade.h"
#include "importexport/excel/import_engine.h"
#include "importexport/excel/record_sheet.h"
#include "platform/db/connection.h"
#include "platform/xlsx/read_book.h"
#include "platform/xlsx/workbook_writer.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"
#include "support/sample_send.h"
#include "support/scripted_prompter.h"
#include "support/syscall_faults.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>

using testing::SyscallPoint;

// Each step that rewrites the database, killed at one disk call after another (a write, a
// rename, an unlink, a sync, before the call is made), as a power cut or a crash stops it. After
// every kill the next start opens the file and finds every acknowledged record exactly once.
namespace {

constexpr const char *kStepRole = "--step";

const QString kPending = QStringLiteral("pendientes");
const QString kImport = QStringLiteral("importacion");
const QString kCompaction = QStringLiteral("compactacion");
const QString kUpgrade = QStringLiteral("actualizacion");

constexpr int kPendingRecords = 321;
constexpr int kImportRecords = 240;
constexpr int kImportBatch = 240;   // records per commit after the first record, as a tick
constexpr int kRows = 300;          // contacts and sends of the compaction and the upgrade
constexpr int kGroups = 3;

QString workbookPath(const QString &folder) { return QDir(folder).filePath(QStringLiteral("contactos.xlsx")); }

QString importPhone(int record) { return QStringLiteral("6%1").arg(10000000 + record); }
// As the contact book keeps it: a Spanish mobile with its country code.
QString storedImportPhone(int record) { return QStringLiteral("34") + importPhone(record); }
QString contactPhone(int row) { return QStringLiteral("7%1").arg(10000000 + row); }
QString sendId(int row) { return QString::number(5000 + row); }

// ---- The child: one step through the library, as the client runs it ----

int runPendingStep(db::Connection &db)
{
    const recording::PendingWrite written = recording::writePendingSends(db);
    return written.status == recording::PendingWrite::Status::Written ? 0 : 1;
}

// Every committed batch is acknowledged on the standard output with the last record it holds:
// those records are the ones the user saw imported.
int runImportStep(db::Connection &db, const QString &folder)
{
    using namespace importexport::excel;
    const xlsx::ReadBook book = xlsx::readWorkbook(workbookPath(folder), xlsx::ReadScope::FirstSheet);
    if (!book.ok())
        return 2;
    const RecordSheet sheet(book.sheets.value(0));
    ImportEngine engine(db, sheet, FieldColumns{1, 2, 0, 0, 0, 0, 0}, {});
    ImportRun run(engine, sheet.firstRecord(), sheet.lastRecord());
    ImportRun::State state = run.start();
    for (;;) {
        if (state == ImportRun::State::Failed || state == ImportRun::State::AwaitingAnswer)
            return 1;
        std::printf("%d\n", state == ImportRun::State::Finished ? sheet.lastRecord() : run.current());
        std::fflush(stdout);
        if (state == ImportRun::State::Finished)
            return 0;
        state = run.batch(kImportBatch);
    }
}

int runUpgradeStep(db::Connection &db)
{
    if (!database::upgradeSchema(db).ok())
        return 1;
    testing::ScriptedPrompter prompter;
    return database::migrateGroups(db, prompter).status == database::MigrationStatus::Failed ? 1 : 0;
}

int runStep(const QString &step, const QString &folder)
{
    db::Connection db;
    if (!db.open(database::localDatabasePath(folder)).ok())
        return 3;
    if (step == kPending)
        return runPendingStep(db);
    if (step == kImport)
        return runImportStep(db, folder);
    if (step == kCompaction)
        return database::compactDatabase(db).compacted() ? 0 : 1;
    if (step == kUpgrade)
        return runUpgradeStep(db);
    return 4;
}

// ---- The parent: the folders the steps start from, and what the next start must find ----

void makeDatabase(const QString &folder)
{
    db::Connection db;
    QVERIFY(db.open(database::localDatabasePath(folder), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(database::createSchema(db).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta) VALUES ('usuario','clave','1')")).ok());
}

// Contacts and sends enough to fill many pages of each table and index.
void addRows(db::Connection &db, bool withUsername)
{
    db::Transaction transaction(db);
    for (int row = 1; row <= kRows; ++row) {
        QVERIFY(db.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono,comentario) VALUES (?1,?2,?3)"),
                           {QStringLiteral("Contacto %1").arg(row), contactPhone(row),
                            QStringLiteral("comentario largo del contacto %1 ").repeated(4).arg(row)})
                    .ok());
        const QString sql = withUsername
            ? QStringLiteral("INSERT INTO Historial (destinatario,mensaje,id_web,estado,username) VALUES (?1,?2,?3,'0|0|0','usuario')")
            : QStringLiteral("INSERT INTO Historial (destinatario,mensaje,id_web,estado) VALUES (?1,?2,?3,'0|0|0')");
        QVERIFY(db.execute(sql, {contactPhone(row), QStringLiteral("Mensaje número %1 con su texto").arg(row), sendId(row)})
                    .ok());
    }
    QVERIFY(transaction.commit().ok());
}

void preparePending(const QString &folder)
{
    makeDatabase(folder);
    QList<recording::SendRecord> records;
    for (int i = 1; i <= kPendingRecords; ++i)
        records << testing::sampleSend(sendId(i), QStringLiteral("Pendiente %1").arg(i));
    QVERIFY(recording::appendPendingRecords(recording::pendingSendsPath(database::localDatabasePath(folder)), records));
}

void prepareImport(const QString &folder)
{
    makeDatabase(folder);
    xlsx::Sheet sheet;
    for (int record = 1; record <= kImportRecords; ++record) {
        sheet.setTyped(record, 1, QStringLiteral("Importado %1").arg(record));
        sheet.setTyped(record, 2, importPhone(record));
    }
    const xlsx::SaveResult saved = xlsx::save(workbookPath(folder), {sheet});
    QVERIFY2(saved.ok(), qPrintable(saved.detail));
}

// A file with rows deleted here and there, so the compaction moves most pages.
void prepareCompaction(const QString &folder)
{
    makeDatabase(folder);
    db::Connection db;
    QVERIFY(db.open(database::localDatabasePath(folder)).ok());
    addRows(db, true);
    QVERIFY(db.execute(QStringLiteral("DELETE FROM Agenda WHERE sid % 3 = 0")).ok());
    QVERIFY(db.execute(QStringLiteral("DELETE FROM Historial WHERE sid % 3 = 0")).ok());
}

// The file as an older version left it: no Usuario.version_desktop nor Historial.username, and
// the groups' members kept in the groups.
void prepareUpgrade(const QString &folder)
{
    makeDatabase(folder);
    db::Connection db;
    QVERIFY(db.open(database::localDatabasePath(folder)).ok());
    QVERIFY(db.executeScript(QStringLiteral(
                                 "DROP TABLE Historial; CREATE TABLE Historial (sid INTEGER PRIMARY KEY AUTOINCREMENT, "
                                 "destinatario TEXT, f_envio TEXT, f_programada TEXT, mensaje TEXT, id_web TEXT, "
                                 "estado TEXT, remitente TEXT, creditos REAL, bool_cumple TEXT);"
                                 "CREATE TABLE U2 AS SELECT sid,login,pass,ruta,saldo,huso_horario,ruta_bbdd,"
                                 "defecto_agenda FROM Usuario; DROP TABLE Usuario; ALTER TABLE U2 RENAME TO Usuario;"
                                 "DROP TABLE Agenda; CREATE TABLE Agenda (sid INTEGER PRIMARY KEY AUTOINCREMENT, "
                                 "nombre TEXT, telefono TEXT, nombre_completo TEXT, direccion TEXT, telefono_2 TEXT, "
                                 "comentario TEXT, f_nacimiento TEXT);"
                                 "ALTER TABLE Grupos ADD COLUMN miembros_sid TEXT"))
                .ok());
    addRows(db, false);
    // Group g holds every contact whose key leaves g - 1 when divided by the number of groups.
    for (int group = 1; group <= kGroups; ++group) {
        QStringList members;
        for (int row = group; row <= kRows; row += kGroups)
            members << QString::number(row);
        QVERIFY(db.execute(QStringLiteral("INSERT INTO Grupos (nombre,miembros_sid) VALUES (?1,?2)"),
                           {QStringLiteral("Grupo %1").arg(group), members.join(QLatin1Char(','))})
                    .ok());
    }
}

// Each contact and send by what tells it apart, with how many rows carry it.
QMap<QString, int> countsOf(db::Connection &db, const QString &sql)
{
    QMap<QString, int> counts;
    for (const db::Row &row : db.select(sql))
        counts[row.at(0).toString()] += 1;
    return counts;
}

// The rows the compaction started from, as text, in key order.
QString contentOf(db::Connection &db)
{
    QString text;
    for (const db::Row &row : db.select(QStringLiteral("SELECT sid,nombre,telefono,comentario FROM Agenda ORDER BY sid")))
        text += row.at(0).toString() + QLatin1Char('|') + row.at(1).toString() + QLatin1Char('|') + row.at(2).toString()
            + QLatin1Char('|') + row.at(3).toString() + QLatin1Char('\n');
    for (const db::Row &row : db.select(QStringLiteral("SELECT sid,mensaje,id_web FROM Historial ORDER BY sid")))
        text += row.at(0).toString() + QLatin1Char('|') + row.at(1).toString() + QLatin1Char('|') + row.at(2).toString()
            + QLatin1Char('\n');
    return text;
}

// The points a step is killed at. A step makes a hundred disk calls or more and each kill costs
// a child and a start, so they are sampled, under a dozen a step: the first call (the journal's
// opening), the last two (the end of the commit), the call after a rename or an unlink (the
// pending file taken, the journal removed), and where a commit writes the file's pages - after
// the sync that puts the journal whole on the disk, two writes follow, page 1 first - the first
// two of those pages, killed before the first is made and again before the second (so with page
// 1 written). A step of many commits has more of these than kEach of a kind: every so many of
// them then, the last one always.
std::vector<SyscallPoint> sampledPoints(const std::vector<SyscallPoint> &calls)
{
    constexpr size_t kEach = 3;
    const int n = int(calls.size());
    const auto isWrite = [&](int i) { return i < n && calls[size_t(i)].call.contains(QLatin1String("write")); };
    std::set<int> chosen{0, std::max(0, n - 2), n - 1};
    std::vector<int> pagesAfterSync;
    std::vector<int> afterNaming;
    for (int i = 0; i + 1 < n; ++i) {
        const QString &call = calls[size_t(i)].call;
        if (call.endsWith(QLatin1String("sync")) && isWrite(i + 1) && isWrite(i + 2))
            pagesAfterSync.push_back(i + 1);
        else if (call.startsWith(QLatin1String("rename")) || call.startsWith(QLatin1String("unlink")))
            afterNaming.push_back(i + 1);
    }
    const auto takeSome = [&](const std::vector<int> &found, int following) {
        const double stride = std::max(1.0, double(found.size()) / kEach);
        for (double k = double(found.size()) - 1; k >= 0; k -= stride) {
            for (int f = 0; f < following; ++f)
                chosen.insert(std::min(n - 1, found[size_t(k)] + f));
        }
    };
    takeSome(pagesAfterSync, 2);
    takeSome(afterNaming, 1);
    std::vector<SyscallPoint> points;
    for (int i : chosen)
        points.push_back(calls[size_t(i)]);
    return points;
}

bool copyFolder(const QString &from, const QString &to)
{
    for (const QString &name : QDir(from).entryList(QDir::Files | QDir::Hidden)) {
        if (!QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name)))
            return false;
    }
    return true;
}

// What a killed (or finished) step left, checked by the next start. `acknowledged`: what the child
// said on its standard output; `finished`: it ran to its end.
using Check = std::function<void(db::Connection &db, const QByteArray &acknowledged, bool finished)>;

} // namespace

class TestCrashPoints final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void startWritingPendingRecords();
    void excelImportCommit();
    void compaction();
    void schemaUpgrade();

private:
    // Prepares the step's folder, then for each sampled point: a copy of the folder, the step
    // killed there, the next start on what it left, and `check`.
    void killAtEachPoint(const QString &step, const std::function<void(const QString &)> &prepare, const Check &check);
};

void TestCrashPoints::initTestCase()
{
    QVERIFY2(!testing::straceProgram().isEmpty(), "strace is needed (scripts/install-deps.sh installs it)");
}

void TestCrashPoints::killAtEachPoint(const QString &step, const std::function<void(const QString &)> &prepare,
                                      const Check &check)
{
    testing::TempHome home;
    const QString pristine = home.file(QStringLiteral("inicio"));
    QVERIFY(QDir().mkpath(pristine));
    prepare(pristine);
    if (QTest::currentTestFailed())
        return;

    // A whole run on a copy: the calls the step makes.
    const QString counted = home.file(QStringLiteral("contado"));
    QVERIFY(QDir().mkpath(counted) && copyFolder(pristine, counted));
    const std::vector<SyscallPoint> calls = testing::diskCallsOfRun({QString::fromLatin1(kStepRole), step, counted});
    QVERIFY2(calls.size() > 20, qPrintable(QStringLiteral("%1 disk calls").arg(calls.size())));
    const std::vector<SyscallPoint> points = sampledPoints(calls);

    int killed = 0;
    for (const SyscallPoint &point : points) {
        const QString where = QStringLiteral("%1: %2 #%3 of %4 calls").arg(step, point.call).arg(point.nth).arg(calls.size());
        QTemporaryDir folder(home.file(QStringLiteral("punto-XXXXXX")));
        QVERIFY2(folder.isValid() && copyFolder(pristine, folder.path()), qPrintable(where));

        QProcess child;
        QVERIFY2(testing::startUnderStrace(child, testing::killAt(point), {QString::fromLatin1(kStepRole), step, folder.path()}),
                 qPrintable(where));
        QVERIFY2(child.waitForFinished(60000), qPrintable(where));
        const bool finished = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
        QVERIFY2(finished || child.exitStatus() == QProcess::CrashExit,
                 qPrintable(where + QStringLiteral(": exit %1 ").arg(child.exitCode()) + child.readAllStandardError()));
        killed += finished ? 0 : 1;

        testing::ScriptedPrompter prompter;
        db::Connection db;
        const database::OpeningResult start = database::openDatabase(db, folder.path(), prompter);
        QVERIFY2(start.ok(), qPrintable(where + QStringLiteral(": ") + start.message));
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        check(db, child.readAllStandardOutput(), finished);
        if (QTest::currentTestFailed()) {
            qWarning("%s", qPrintable(where));
            return;
        }
    }
    qInfo("%s: %d points of %d disk calls, %d killed", qPrintable(step), int(points.size()), int(calls.size()), killed);
    // The sampling did kill the step, and at more than one place.
    QVERIFY2(killed >= int(points.size()) / 2, qPrintable(QStringLiteral("%1 of %2 killed").arg(killed).arg(points.size())));
}

// Every record the pending file held when the start began is in the history once.
void TestCrashPoints::startWritingPendingRecords()
{
    killAtEachPoint(kPending, preparePending, [](db::Connection &db, const QByteArray &, bool) {
        const QMap<QString, int> counts = countsOf(db, QStringLiteral("SELECT id_web FROM Historial"));
        QCOMPARE(counts.size(), kPendingRecords);
        for (int i = 1; i <= kPendingRecords; ++i)
            QVERIFY2(counts.value(sendId(i)) == 1, qPrintable(sendId(i)));
    });
}

// Each record of a committed batch is in the contact book once; the others at most once.
void TestCrashPoints::excelImportCommit()
{
    killAtEachPoint(kImport, prepareImport, [](db::Connection &db, const QByteArray &acknowledged, bool finished) {
        int upTo = 0;
        for (const QByteArray &line : acknowledged.split('\n'))
            upTo = std::max(upTo, line.trimmed().toInt());
        if (finished)
            QCOMPARE(upTo, kImportRecords);
        const QMap<QString, int> counts = countsOf(db, QStringLiteral("SELECT telefono FROM Agenda"));
        for (int record = 1; record <= kImportRecords; ++record) {
            const int found = counts.value(storedImportPhone(record));
            QVERIFY2(record <= upTo ? found == 1 : found <= 1, qPrintable(storedImportPhone(record)));
        }
        QVERIFY(counts.size() <= kImportRecords);
    });
}

// The rows are those the compaction started from, every one once.
void TestCrashPoints::compaction()
{
    auto content = std::make_shared<QString>();
    killAtEachPoint(
        kCompaction,
        [content](const QString &folder) {
            prepareCompaction(folder);
            db::Connection db;
            QVERIFY(db.open(database::localDatabasePath(folder)).ok());
            *content = contentOf(db);
            QVERIFY(content->count(QLatin1Char('\n')) == 2 * (kRows - kRows / 3));
        },
        [content](db::Connection &db, const QByteArray &, bool) { QCOMPARE(contentOf(db), *content); });
}

// Every contact and send of the older file is there once, and each contact is in its group.
void TestCrashPoints::schemaUpgrade()
{
    killAtEachPoint(kUpgrade, prepareUpgrade, [](db::Connection &db, const QByteArray &, bool) {
        QVERIFY(db.hasColumn(QStringLiteral("Historial"), QStringLiteral("username")));
        QVERIFY(!db.hasColumn(QStringLiteral("Grupos"), QStringLiteral("miembros_sid")));
        const QMap<QString, int> sends = countsOf(db, QStringLiteral("SELECT id_web FROM Historial"));
        const QMap<QString, int> contacts = countsOf(db, QStringLiteral("SELECT telefono FROM Agenda"));
        QCOMPARE(sends.size(), kRows);
        QCOMPARE(contacts.size(), kRows);
        for (int row = 1; row <= kRows; ++row) {
            QVERIFY2(sends.value(sendId(row)) == 1 && contacts.value(contactPhone(row)) == 1, qPrintable(sendId(row)));
            const QString groups =
                db.scalar(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE telefono=?1"), {contactPhone(row)}).toString();
            QCOMPARE(groups, QString::number((row - 1) % kGroups + 1));
        }
    });
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], kStepRole) == 0)
        return runStep(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestCrashPoints test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_crash_points.moc"
