#include "database/schema.h"
#include "platform/db/connection.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"
#include "platform/files/moving.h"
#include "platform/files/shared_take.h"
#include "platform/files/take_names.h"
#include "support/file_bytes.h"
#include "support/fresh_database.h"
#include "support/this_program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSet>
#include <QTest>

#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kAppendRole = "--append-pending-records";
constexpr const char *kStartRole = "--start-twice";

// Some wall time, in ms since the epoch, that tests move on by hand.
constexpr qint64 kSomeTime = 1796000000000;

recording::SendRecord numbered(int i)
{
    recording::SendRecord r;
    r.username = QStringLiteral("usuario");
    r.recipients = QStringLiteral("34600000001");
    r.sentAt = QStringLiteral("2026-03-05 09:07");
    r.scheduledAt = QStringLiteral("Inmediato");
    r.message = QStringLiteral("envío %1").arg(i);
    r.webId = QString::number(i);
    r.sender = QStringLiteral("Tienda");
    r.credits = 1;
    return r;
}

// A start's take on a clock the test moves, seeing writers on this machine or none at all (as a
// client on another machine writing through a share is never seen).
recording::PendingTakeOptions options(const qint64 *now, bool writersSeen)
{
    recording::PendingTakeOptions how;
    how.clock = [now] { return *now; };
    if (!writersSeen)
        how.writers = [](const QString &) { return false; };
    return how;
}

// The pending file and the files takes keep beside it, by name (not the set-aside file).
QStringList pendingFiles(const testing::TempHome &home)
{
    QStringList names = QDir(home.path()).entryList({QStringLiteral("envios_pendientes.txt*")}, QDir::Files);
    return names;
}

// Another workstation's start that takes the file this start has taken, while it commits.
struct MoveOnDuringCommit {
    static int run(void *self)
    {
        auto *other = static_cast<MoveOnDuringCommit *>(self);
        const files::TakeNames names(other->file, recording::pendingTakeMarker());
        for (const QString &taken : names.leftovers()) {
            if (!other->movedOn)
                other->movedOn = files::moveWithoutReplacing(taken, names.fresh()) == files::MoveResult::Moved;
        }
        return 0;
    }
    QString file;
    bool movedOn;
};

// The records every kill-point run starts from: five records and a line that is none.
constexpr int kKillRecords = 5;
const QByteArray kNotARecord = "no es un envío\n";

// One kill-point run: a fresh folder and database with the pending file, the two starts in a child
// killed at one call, and the check of what the starts after it make of the folder.
struct KillRun {
    bool prepare()
    {
        if (!fresh.connection.isOpen())
            return false;
        file = recording::pendingSendsPath(fresh.connection.path());
        for (int i = 1; i <= kKillRecords; ++i) {
            if (!recording::appendPendingSend(file, numbered(i)))
                return false;
            if (i == 2) {
                QFile out(file);
                if (!out.open(QIODevice::WriteOnly | QIODevice::Append) || out.write(kNotARecord) != kNotARecord.size())
                    return false;
            }
        }
        fresh.connection.close();
        return true;
    }
    bool start(const QString &strace, QStringList arguments)
    {
        arguments << QStringLiteral("--") << QCoreApplication::applicationFilePath() << QString::fromLatin1(kStartRole)
                  << fresh.home.file(QStringLiteral("bbdd.mdb"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The leak check does not run under a tracer.
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        child.setProcessEnvironment(environment);
        child.setProgram(strace);
        child.setArguments(arguments);
        child.start();
        return child.waitForStarted(10000) && child.waitForFinished(60000);
    }
    bool recoverAndCheck()
    {
        if (!fresh.connection.open(fresh.home.file(QStringLiteral("bbdd.mdb"))).ok())
            return false;
        recording::PendingTakeOptions how;
        how.writers = [](const QString &) { return false; };
        how.longRest = std::chrono::milliseconds(0);
        for (int i = 0; i < 3; ++i)
            recording::writePendingSends(fresh.connection, how);
        bool ok = true;
        for (int i = 1; i <= kKillRecords; ++i) {
            const int rows = fresh.connection.scalar(QStringLiteral("SELECT count(*) FROM Historial WHERE id_web=?1"),
                                                     {QString::number(i)}).toInt();
            if (rows != 1) {
                qWarning("record %d is in the history %d times", i, rows);
                ok = false;
            }
        }
        const QByteArray aside = testing::readFile(recording::setAsidePath(fresh.connection.path()));
        if (aside != kNotARecord) {
            qWarning("set aside: %s", aside.constData());
            ok = false;
        }
        const QStringList left = pendingFiles(fresh.home);
        if (!left.isEmpty()) {
            qWarning("left: %s", qPrintable(left.join(QLatin1Char(' '))));
            ok = false;
        }
        return ok;
    }

    testing::FreshDatabase fresh;
    QString file;
    QProcess child;
};

// The child of a kill-point run: a start and the next, seeing no writer and never waiting.
int startTwice(const QString &database)
{
    db::Connection connection;
    if (!connection.open(database).ok())
        return 2;
    recording::PendingTakeOptions how;
    how.writers = [](const QString &) { return false; };
    how.longRest = std::chrono::milliseconds(0);
    recording::writePendingSends(connection, how);
    recording::writePendingSends(connection, how);
    return 0;
}

bool appendBytes(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Append) && out.write(bytes) == bytes.size();
}



// The other workstation: appends `count` records one by one and tells, on its output, the number
// of every record whose append reported it kept.
int appendRecords(const QString &file, int count)
{
    for (int i = 1; i <= count; ++i) {
        if (recording::appendPendingSend(file, numbered(i))) {
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    }
    return 0;
}

} // namespace

// The pending-sends file is written by every workstation on the database and taken by whichever
// starts: a record appended while another workstation takes the file is never lost.
class TestPendingTake final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One process appends record after record while this one runs the start-up step again and
    // again: every record whose append returned true ends in the history exactly once, or still
    // waits for the next start.
    void recordsAppendedWhileTakenAreNeverLost()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const QString file = recording::pendingSendsPath(connection.path());

        constexpr int kRecords = 400;
        QProcess other;
        QVERIFY(testing::startThisProgram(other, {QString::fromLatin1(kAppendRole), file, QString::number(kRecords)}));
        int takes = 0;
        while (!other.waitForFinished(0)) {
            recording::writePendingSends(connection);
            ++takes;
        }
        QCOMPARE(other.exitStatus(), QProcess::NormalExit);
        QCOMPARE(other.exitCode(), 0);
        QVERIFY2(takes > 1, qPrintable(QString::number(takes)));

        QList<int> kept;
        for (const QByteArray &line : other.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty())
                kept.append(line.toInt());
        }
        QCOMPARE(kept.size(), kRecords);

        QSet<QString> waiting;
        for (const recording::SendRecord &record : recording::readPendingRecords(file))
            waiting.insert(record.webId);
        QStringList lost;
        QStringList twice;
        for (const int i : std::as_const(kept)) {
            const int rows = connection.scalar(QStringLiteral("SELECT count(*) FROM Historial WHERE id_web=?1"),
                                               {QString::number(i)}).toInt();
            if (rows > 1)
                twice.append(QString::number(i));
            else if (rows == 0 && !waiting.contains(QString::number(i)))
                lost.append(QString::number(i));
        }
        QVERIFY2(lost.isEmpty(), qPrintable(QStringLiteral("lost: ") + lost.join(QLatin1Char(','))));
        QVERIFY2(twice.isEmpty(), qPrintable(QStringLiteral("twice: ") + twice.join(QLatin1Char(','))));

        // What still waits is written at the next start, once.
        recording::writePendingSends(connection);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), kRecords);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(DISTINCT id_web) FROM Historial")).toInt(), kRecords);
    }

    // A workstation that opened the file just before this start took it writes its record into
    // the taken file after the start read it: seen or not (a client on another machine writing
    // through a share is never seen), the record is written at a later start, once, and the file
    // goes only once it has rested long.
    void slowWriterRecordIsNeverLost_data()
    {
        QTest::addColumn<bool>("writerSeen");
        QTest::newRow("writer on this machine") << true;
        QTest::newRow("writer on another machine") << false;
    }
    void slowWriterRecordIsNeverLost()
    {
        QFETCH(bool, writerSeen);
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const QString file = recording::pendingSendsPath(connection.path());
        QVERIFY(recording::appendPendingSend(file, numbered(1)));
        QVERIFY(recording::appendPendingSend(file, numbered(2)));
        qint64 now = kSomeTime;
        const recording::PendingTakeOptions how = options(&now, writerSeen);

        // Opened as the client's own appender opens it.
        QFile other(file);
        QVERIFY(other.open(QIODevice::ReadWrite | QIODevice::Append));
        const recording::PendingWrite first = recording::writePendingSends(connection, how);
        QCOMPARE(first.written, 2);
        QCOMPARE(recording::pendingWriteReport(first),
                 QStringLiteral("Se han guardado en el historial 2 envíos cobrados que estaban pendientes."));
        recording::SendRecord late = numbered(3);
        late.recordId = QStringLiteral("tarde");
        const QByteArray line = recording::pendingLine(late) + '\n';
        now += 50;
        QCOMPARE(other.write(line), line.size());
        other.close();
        QCOMPARE(recording::readPendingRecords(file).size(), 1);

        now += 1000;
        const recording::PendingWrite next = recording::writePendingSends(connection, how);
        QCOMPARE(next.written, 1);
        QCOMPARE(next.alreadyThere, 0);
        QCOMPARE(pendingFiles(fresh.home).size(), 1);
        QVERIFY(recording::readPendingRecords(file).isEmpty());

        // At rest, but not yet for long: kept.
        now += files::kLongRest.count() / 2;
        QCOMPARE(recording::writePendingSends(connection, how).status, recording::PendingWrite::Status::Nothing);
        QCOMPARE(pendingFiles(fresh.home).size(), 1);
        now += files::kLongRest.count();
        QCOMPARE(recording::writePendingSends(connection, how).status, recording::PendingWrite::Status::Nothing);
        QCOMPARE(pendingFiles(fresh.home), QStringList());
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 3);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(DISTINCT id_web) FROM Historial")).toInt(), 3);
    }

    // The start that read a file never removes it, however long it had rested before the move.
    void fileIsNeverRemovedByTheStartThatReadIt()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const QString file = recording::pendingSendsPath(connection.path());
        QVERIFY(recording::appendPendingSend(file, numbered(1)));
        qint64 now = kSomeTime;
        recording::PendingTakeOptions how = options(&now, false);
        how.longRest = std::chrono::milliseconds(0);
        QCOMPARE(recording::writePendingSends(connection, how).written, 1);
        QCOMPARE(pendingFiles(fresh.home).size(), 1);
        QCOMPARE(recording::writePendingSends(connection, how).written, 0);
        QCOMPARE(pendingFiles(fresh.home), QStringList());
    }

    // A line that is no record is set aside for a person once, at the start that read it; the
    // file itself stays until it has rested, and no later start sets the line aside again.
    void unreadableLineIsSetAsideOnce()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const QString file = recording::pendingSendsPath(connection.path());
        QVERIFY(recording::appendPendingSend(file, numbered(1)));
        QVERIFY(appendBytes(file, "no es un envío\n"));
        qint64 now = kSomeTime;
        const recording::PendingTakeOptions how = options(&now, false);

        const recording::PendingWrite first = recording::writePendingSends(connection, how);
        QCOMPARE(first.unreadable, 1);
        QVERIFY(first.setAside);
        QVERIFY(recording::pendingWriteReport(first).contains(QStringLiteral("se ha apartado en")));
        for (int i = 0; i < 2; ++i) {
            now += files::kLongRest.count();
            const recording::PendingWrite again = recording::writePendingSends(connection, how);
            QCOMPARE(again.unreadable, 0);
            QCOMPARE(again.status, recording::PendingWrite::Status::Nothing);
        }
        QCOMPARE(testing::readFile(recording::setAsidePath(connection.path())), QByteArray("no es un envío\n"));
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
        QCOMPARE(pendingFiles(fresh.home), QStringList());
    }

    // Where the lines that are not records cannot be set aside, the start says they stay in the
    // file, and they do: a later start sets them aside.
    void unreadableLinesStayWhenTheyCannotBeSetAside()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const QString file = recording::pendingSendsPath(connection.path());
        QVERIFY(recording::appendPendingSend(file, numbered(1)));
        QVERIFY(appendBytes(file, "no es un envío\n"));
        QVERIFY(recording::appendPendingSend(file, numbered(2)));
        const QString aside = recording::setAsidePath(connection.path());
        QVERIFY(QDir().mkdir(aside));
        qint64 now = kSomeTime;
        const recording::PendingTakeOptions how = options(&now, false);

        const recording::PendingWrite first = recording::writePendingSends(connection, how);
        QCOMPARE(first.written, 2);
        QCOMPARE(first.unreadable, 1);
        QVERIFY(!first.setAside);
        QVERIFY(recording::pendingWriteReport(first).contains(QStringLiteral("se conserva en el archivo")));
        const QStringList kept = pendingFiles(fresh.home);
        QCOMPARE(kept.size(), 1);
        const QString keptPath = fresh.home.file(kept.first());
        const std::optional<QByteArray> waiting
            = files::readPiece(keptPath, files::progressOf(keptPath).done, recording::kMaxPendingBytes);
        QVERIFY(waiting);
        QVERIFY(waiting->contains("no es un envío\n"));

        QVERIFY(QDir().rmdir(aside));
        now += files::kLongRest.count();
        const recording::PendingWrite next = recording::writePendingSends(connection, how);
        QCOMPARE(next.written, 0);
        QCOMPARE(next.unreadable, 1);
        QVERIFY(next.setAside);
        now += files::kLongRest.count();
        recording::writePendingSends(connection, how);
        QCOMPARE(testing::readFile(aside), QByteArray("no es un envío\n"));
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 2);
        QCOMPARE(pendingFiles(fresh.home), QStringList());
    }

    // Files earlier starts left are read within the same bounds as the file itself: one over the
    // size limit is not read, and a start reads so much in all; what is beyond waits, once.
    void leftoversAreBounded()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const QString file = recording::pendingSendsPath(connection.path());
        const QString huge = file + QStringLiteral(".en_lectura-20261208090000000-00000000000000aa");
        {
            QFile big(huge);
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(recording::kMaxPendingBytes + 1));
        }
        int id = 0;
        for (int left = 0; left < 3; ++left) {
            const QString name
                = file + QStringLiteral(".en_lectura-2026120809050000%1-00000000000000ab").arg(left);
            for (int i = 0; i < 4; ++i)
                QVERIFY(recording::appendPendingSend(name, numbered(++id)));
        }
        const qint64 oneFile = QFileInfo(file + QStringLiteral(".en_lectura-20261208090500000-00000000000000ab")).size();
        qint64 now = kSomeTime;
        recording::PendingTakeOptions how = options(&now, false);
        how.budget = oneFile + oneFile / 2;

        const recording::PendingWrite first = recording::writePendingSends(connection, how);
        QVERIFY(first.leftOverTooLarge);
        QVERIFY(first.moreWaiting);
        QVERIFY(first.written >= 4 && first.written < 12);
        QVERIFY(recording::pendingWriteReport(first).contains(QStringLiteral("supera el tamaño máximo")));
        QVERIFY(recording::pendingWriteReport(first).contains(QStringLiteral("se guardarán la próxima vez")));
        int written = first.written;
        for (int start = 0; start < 4; ++start)
            written += recording::writePendingSends(connection, how).written;
        QCOMPARE(written, 12);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(DISTINCT id_web) FROM Historial")).toInt(), 12);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 12);
        QCOMPARE(QFileInfo(huge).size(), recording::kMaxPendingBytes + 1);
    }

    // Two starts take the file at once: the one whose note in the file another start's take
    // overtook says so, and nothing is written twice.
    void startOvertakenByAnotherWorkstationSaysSo()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const QString file = recording::pendingSendsPath(connection.path());
        QVERIFY(recording::appendPendingSend(file, numbered(1)));
        qint64 now = kSomeTime;
        recording::PendingTakeOptions how = options(&now, false);
        // The other workstation's start moves the taken file on while this one commits.
        MoveOnDuringCommit other{file, false};
        sqlite3_commit_hook(connection.handle(), &MoveOnDuringCommit::run, &other);
        const recording::PendingWrite w = recording::writePendingSends(connection, how);
        sqlite3_commit_hook(connection.handle(), nullptr, nullptr);
        const bool movedOn = other.movedOn;
        QVERIFY(movedOn);
        QCOMPARE(w.written, 1);
        QVERIFY(w.takenByOther);
        const QString report = recording::pendingWriteReport(w);
        QVERIFY2(report.contains(QStringLiteral("Otro puesto ha tomado a la vez el archivo")), qPrintable(report));
        QVERIFY(!report.contains(QStringLiteral("permiso")));
        // The other start, interrupted before it could note anything, left the file as it took it.
        const recording::PendingWrite then = recording::writePendingSends(connection, how);
        QCOMPARE(then.written, 0);
        QCOMPARE(then.alreadyThere, 1);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
    }

    // A start killed at any of its calls on the pending files (each move that takes a file or
    // records how far it was written, the set-aside's write and sync, the folder's sync, the
    // removal) and at those of the start after it: the starts that follow write every record
    // once, set each unreadable line aside once, and leave no file behind. The kill points are
    // every such call a dry run of the two starts makes, found by tracing it, each hit in turn
    // with strace's fault injection; calls on the database are left to its own crash tests.
    void everyKillPointKeepsEachRecordOnce()
    {
#ifndef Q_OS_LINUX
        QSKIP("Kills at system calls with strace");
#endif
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed (scripts/install-deps.sh installs it)");
        const QString calls = QStringLiteral("write,pwrite64,fsync,fdatasync,rename,renameat,renameat2,link,linkat,"
                                             "unlink,unlinkat");

        // The dry run: each call's name and its number among the calls of that name.
        QList<QPair<QString, int>> points;
        {
            KillRun run;
            QVERIFY(run.prepare());
            const QString log = run.fresh.home.file(QStringLiteral("traza.txt"));
            QVERIFY(run.start(strace, {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-y"),
                                       QStringLiteral("-e"), QStringLiteral("trace=") + calls, QStringLiteral("-o"),
                                       log}));
            QCOMPARE(run.child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(run.child.exitCode(), 0);
            QHash<QString, int> seen;
            static const QRegularExpression call(QStringLiteral("^\\d+\\s+(\\w+)\\((.*)$"));
            for (const QByteArray &line : testing::readFile(log).split('\n')) {
                const QRegularExpressionMatch m = call.match(QString::fromUtf8(line));
                if (!m.hasMatch())
                    continue;
                const int number = ++seen[m.captured(1)];
                const QString args = m.captured(2);
                if (args.contains(run.fresh.home.path()) && !args.contains(QStringLiteral("bbdd.mdb"))
                    && !args.contains(QStringLiteral("traza.txt")))
                    points.append({m.captured(1), number});
            }
        }
        QVERIFY2(points.size() >= 8, qPrintable(QString::number(points.size())));

        int killed = 0;
        for (const auto &[name, number] : std::as_const(points)) {
            const QString where = name + QLatin1Char('#') + QString::number(number);
            KillRun run;
            QVERIFY(run.prepare());
            QVERIFY(run.start(strace, {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"),
                                       QStringLiteral("/dev/null"),
                                       QStringLiteral("--inject=%1:signal=KILL:when=%2").arg(name).arg(number)}));
            if (run.child.exitStatus() == QProcess::CrashExit || run.child.exitCode() != 0)
                ++killed;
            QVERIFY2(run.recoverAndCheck(), qPrintable(where));
        }
        QVERIFY2(killed * 2 >= points.size(), qPrintable(QStringLiteral("%1 of %2").arg(killed).arg(points.size())));
    }

    // A start interrupted after taking the file left it under its own name: the next start writes
    // it first, with the file written since, and removes both.
    void fileLeftByAnInterruptedStartIsWritten()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const testing::TempHome &home = fresh.home;
        const QString file = recording::pendingSendsPath(connection.path());
        QVERIFY(recording::appendPendingSend(file + QStringLiteral(".en_lectura-20261208090500000-00000000000000ab"),
                                           numbered(1)));
        QVERIFY(recording::appendPendingSend(file, numbered(2)));
        QCOMPARE(recording::readPendingRecords(file).size(), 2);

        qint64 now = kSomeTime;
        const recording::PendingTakeOptions how = options(&now, false);
        const recording::PendingWrite w = recording::writePendingSends(connection, how);
        QCOMPARE(w.written, 2);
        QVERIFY(!w.fileKept);
        now += files::kLongRest.count();
        QCOMPARE(recording::writePendingSends(connection, how).status, recording::PendingWrite::Status::Nothing);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT group_concat(id_web) FROM (SELECT id_web FROM Historial "
                                                  "ORDER BY sid)")).toString(),
                 QStringLiteral("1,2"));
        QCOMPARE(QDir(home.path()).entryList({QStringLiteral("envios_pendientes*")}, QDir::Files), QStringList());
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], kStartRole) == 0) {
        QCoreApplication app(argc, argv);
        return startTwice(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 4 && std::strcmp(argv[1], kAppendRole) == 0) {
        QCoreApplication app(argc, argv);
        return appendRecords(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    }
    QCoreApplication app(argc, argv);
    TestPendingTake test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_pending_take.moc"
