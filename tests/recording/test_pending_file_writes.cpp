#include "database/schema.h"
#include "platform/db/connection.h"
#include "platform/files/shared_take.h"
#include "platform/files/take_names.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"
#include "support/file_bytes.h"
#include "support/sample_send.h"
#include "support/temp_home.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

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
#ifdef Q_OS_UNIX
        // The sync the pending file really uses is the system's.
        QVERIFY(recording::platformSync() == static_cast<recording::OsSync>(::fsync));
#endif
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

private:
    QString local() const { return m_home->file(QStringLiteral("bbdd.mdb")); }
    std::unique_ptr<testing::TempHome> m_home;
};

QTEST_GUILESS_MAIN(TestPendingFileWrites)
#include "test_pending_file_writes.moc"
