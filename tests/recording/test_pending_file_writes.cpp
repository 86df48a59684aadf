#include "database/schema.h"
#include "platform/db/connection.h"
#include "platform/files/durable_write.h"
#include "platform/files/shared_take.h"
#include "platform/files/take_names.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"
#include "recording/record_charged.h"
#include "support/engine_files.h"
#include "support/file_bytes.h"
#include "support/sample_send.h"
#include "support/temp_home.h"
#include "support/this_program.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstring>

#include <memory>

namespace {

using testing::readFile;
using testing::sampleSend;

// The system's sync as a test sees it: each call is counted with what the file held then, and
// answered as the test says.
struct SyncWitness {
    QString file;
    int answer = 0;
    int calls = 0;
    bool handleOpen = false;
    QByteArray heldAtSync;
};
SyncWitness *g_witness = nullptr;   // set only while a test function runs

int witnessedSync(int handle)
{
    ++g_witness->calls;
#ifdef Q_OS_UNIX
    g_witness->handleOpen = ::fcntl(handle, F_GETFD) != -1;
#else
    g_witness->handleOpen = handle >= 0;
#endif
    g_witness->heldAtSync = readFile(g_witness->file);
    return g_witness->answer;
}

constexpr const char *kKilledStartRole = "--start-killed-before-step";

// A start that writes the pending file beside `database`, killed just before the `step`-th change
// the engine makes to a file.
int killedStart(int step, const QString &database)
{
    testing::EngineFiles files(step);
    db::Connection connection;
    if (!connection.open(database).ok())
        return 2;
    recording::writePendingSends(connection);
    return 0;
}

} // namespace

// How the pending-sends file is written: whole lines, synced before they count, and a last line
// that another writer may still be finishing left where it is.
class TestPendingFileWrites final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_home = std::make_unique<testing::TempHome>(); }
    void cleanup()
    {
        g_witness = nullptr;
        m_home.reset();
    }

    // A record counts as kept only once the system has been asked, with the file's own handle
    // after the whole line, to put it on the disk, and has said it did.
    void syncIsTheSystemsWord()
    {
        SyncWitness witness;
        witness.file = recording::pendingSendsPath(local());
        g_witness = &witness;
        const recording::FileSync sync = [](QFileDevice &device) { return recording::syncThrough(device, witnessedSync); };

        QVERIFY(recording::appendPendingRecords(witness.file, {sampleSend(QStringLiteral("1"), QStringLiteral("uno"))}, sync));
        QCOMPARE(witness.calls, 1);
        QVERIFY(witness.handleOpen);
        QVERIFY(witness.heldAtSync.endsWith('\n'));
        QVERIFY(recording::parsePendingLine(witness.heldAtSync.trimmed()));

        witness.answer = -1;   // the disk could not take it (EIO on a network share)
        QVERIFY(!recording::appendPendingRecords(witness.file, {sampleSend(QStringLiteral("2"), QStringLiteral("dos"))},
                                               sync));
        QCOMPARE(witness.calls, 2);
        // The sync the pending file really uses is the program's one sync of a descriptor.
        QVERIFY(recording::platformSync() == &files::syncDescriptor);
    }

    // A last line without its end may still be being written by another workstation: the start
    // writes the whole records before it and leaves that line in the file, not set aside.
    void unfinishedLastLineStaysInPlace()
    {
        {
            db::Connection db;
            QVERIFY(db.open(local(), db::OpenMode::CreateIfMissing).ok());
            QVERIFY(database::createSchema(db).ok());
        }
        const QString file = recording::pendingSendsPath(local());
        QVERIFY(recording::appendPendingSend(file, sampleSend(QStringLiteral("1"), QStringLiteral("uno"))));
        const QByteArray unfinished("{\"registro\":\"b\",\"username\":\"usuario\",\"destinat");
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::Append));
            QCOMPARE(out.write(unfinished), unfinished.size());
        }

        db::Connection db;
        QVERIFY(db.open(local()).ok());
        const recording::PendingWrite w = recording::writePendingSends(db);
        QCOMPARE(w.status, recording::PendingWrite::Status::Written);
        QCOMPARE(w.written, 1);
        QCOMPARE(w.unreadable, 0);
        QVERIFY(w.incompleteTail);
        // Kept in the taken file, after what was written.
        const QStringList kept = files::TakeNames(file, recording::pendingTakeMarker()).leftovers();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(files::readPiece(kept.first(), files::progressOf(kept.first()).done, 1000), unfinished);
        QVERIFY(!QFileInfo::exists(recording::setAsidePath(local())));
        QVERIFY(recording::pendingWriteReport(w).contains(QStringLiteral("está incompleta y se conserva en él")));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
    }

    // A send recorded while another workstation holds the database waits a moment, not the
    // connection's time-out twice, and goes to the pending file; the next start writes it once.
    // The engine's waits are counted, not waited. Other statements keep the full time-out.
    void busyDatabaseSendsTheRecordToThePendingFileAtOnce()
    {
        makeDatabase();
        testing::EngineFiles files;
        db::Connection connection;
        QVERIFY(connection.open(local()).ok());
        db::Connection other;
        QVERIFY(other.open(local()).ok());
        QVERIFY(other.executeScript(QStringLiteral("BEGIN IMMEDIATE")).ok());

        const recording::RecordOutcome outcome
            = recording::recordCharged(connection, {sampleSend(QStringLiteral("77"), QStringLiteral("ocupada"))});
        QCOMPARE(outcome.status, recording::RecordStatus::Pending);
        QCOMPARE(outcome.result.status, db::Status::Busy);
        const qint64 recordingWait = files.askedWaitMs();
        QVERIFY2(recordingWait > 0 && recordingWait <= recording::kSaveAttempts * recording::kSaveBusyWaitMs,
                 qPrintable(QString::number(recordingWait)));
        QCOMPARE(recording::readPendingRecords(recording::pendingSendsPath(local())).size(), 1);

        QCOMPARE(connection.execute(QStringLiteral("UPDATE Usuario SET saldo='1'")).status, db::Status::Busy);
        QCOMPARE(files.askedWaitMs() - recordingWait, qint64(db::Connection::busyTimeoutMs));

        QVERIFY(other.executeScript(QStringLiteral("ROLLBACK")).ok());
        QCOMPARE(recording::writePendingSends(connection).written, 1);
        QCOMPARE(recording::writePendingSends(connection).status, recording::PendingWrite::Status::Nothing);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial WHERE id_web='77'")).toInt(), 1);
    }

#ifdef Q_OS_UNIX
    // A start writing a long pending file, killed just before one of the engine's writes, syncs or
    // deletions: what it committed stays (a start killed near its end has kept its earlier
    // batches), and the next start opens the file and leaves every record in the history exactly
    // once.
    void startKilledAtEachStepKeepsEveryRecordOnce()
    {
        constexpr int kRecords = 600;     // more than one batch
        makeDatabase();
        QList<recording::SendRecord> records;
        for (int i = 1; i <= kRecords; ++i)
            records.append(sampleSend(QString::number(i), QStringLiteral("envío %1").arg(i)));
        const QString pending = recording::pendingSendsPath(local());
        QVERIFY(recording::appendPendingRecords(pending, records));
        const QString saved = m_home->file(QStringLiteral("guardado"));
        QVERIFY(QDir().mkpath(saved));
        QVERIFY(QFile::copy(local(), saved + QStringLiteral("/bbdd.mdb")));
        QVERIFY(QFile::copy(pending, saved + QStringLiteral("/pendientes.txt")));
        const auto restore = [&] {
            for (const QString &name : QDir(m_home->path()).entryList(QDir::Files))
                QVERIFY(QFile::remove(m_home->file(name)));
            QVERIFY(QFile::copy(saved + QStringLiteral("/bbdd.mdb"), local()));
            QVERIFY(QFile::copy(saved + QStringLiteral("/pendientes.txt"), pending));
        };

        int steps = 0;
        {
            testing::EngineFiles files;
            db::Connection connection;
            QVERIFY(connection.open(local()).ok());
            QCOMPARE(recording::writePendingSends(connection).written, kRecords);
            steps = files.steps();
        }
        // Each of the first steps (the first batch's journal being written and synced), then five
        // at a stride through the rest, and the last: some ten starts in all, each a process of its
        // own, so the test stays short on a busy machine.
        QList<int> points;
        for (int n = 1; n < steps; n += n < 3 ? 1 : std::max(1, steps / 5))
            points.append(n);
        points.append(steps);

        for (const int n : std::as_const(points)) {
            restore();
            const QString at = QStringLiteral("killed before step %1 of %2").arg(n).arg(steps);

            QProcess child;
            QVERIFY(testing::startThisProgram(child, {QString::fromLatin1(kKilledStartRole), QString::number(n), local()}));
            QVERIFY(child.waitForFinished(60000));
            QVERIFY2(child.exitStatus() == QProcess::CrashExit, qPrintable(at));

            db::Connection next;
            const db::Result opened = next.open(local());
            QVERIFY2(opened.ok(), qPrintable(at + QStringLiteral(": ") + opened.error));
            // Killed as its last batch commits, the start has kept the batches before it.
            if (n == steps)
                QVERIFY2(next.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt() > 0, qPrintable(at));
            recording::writePendingSends(next);
            QCOMPARE(next.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), kRecords);
            QCOMPARE(next.scalar(QStringLiteral("SELECT count(DISTINCT id_web) FROM Historial WHERE "
                                                "CAST(id_web AS INTEGER) BETWEEN 1 AND ?1"),
                                 {kRecords})
                         .toInt(),
                     kRecords);
            // The taken files stay until they have rested long; later starts then remove them and
            // write nothing again.
            qint64 now = QDateTime::currentMSecsSinceEpoch() + files::kLongRest.count();
            recording::PendingTakeOptions later;
            later.clock = [&now] { return now; };
            later.writers = [](const QString &) { return false; };
            for (int start = 0; start < 2; ++start, now += 2 * files::kLongRest.count())
                QCOMPARE(recording::writePendingSends(next, later).written, 0);
            QCOMPARE(next.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), kRecords);
            QVERIFY2(QDir(m_home->path()).entryList({QStringLiteral("envios_pendientes*")}, QDir::Files).isEmpty(),
                     qPrintable(at));
        }
    }
#endif

private:
    void makeDatabase()
    {
        db::Connection db;
        QVERIFY(db.open(local(), db::OpenMode::CreateIfMissing).ok());
        QVERIFY(database::createSchema(db).ok());
    }
    QString local() const { return m_home->file(QStringLiteral("bbdd.mdb")); }
    std::unique_ptr<testing::TempHome> m_home;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], kKilledStartRole) == 0)
        return killedStart(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));
    TestPendingFileWrites test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_pending_file_writes.moc"
