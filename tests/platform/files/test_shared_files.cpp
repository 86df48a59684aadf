#include "platform/files/durable_write.h"
#include "platform/files/file_state.h"
#include "platform/files/moving.h"
#include "platform/files/open_writers.h"
#include "platform/files/rest_watch.h"
#include "platform/files/shared_take.h"
#include "platform/files/take_names.h"
#include "support/file_bytes.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

namespace {

using testing::readFile;
using testing::writeFile;

using Move = files::MoveResult (*)(const QString &, const QString &);

} // namespace

Q_DECLARE_METATYPE(Move)

// Files that several programs write: moving one aside without replacing anything, the names of
// takes, writers known by the file's identity, and the quiet period.
class TestSharedFiles final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void moveNeverReplaces_data()
    {
        QTest::addColumn<Move>("move");
        QTest::newRow("rename") << &files::moveWithoutReplacing;
        QTest::newRow("second name") << &files::moveByLinking;
    }
    void moveNeverReplaces()
    {
        QFETCH(Move, move);
        testing::TempHome home;
        const QString from = home.file(QStringLiteral("a.txt"));
        const QString to = home.file(QStringLiteral("b.txt"));
        QVERIFY(writeFile(from, "uno"));
        QVERIFY(writeFile(to, "dos"));
        QCOMPARE(move(from, to), files::MoveResult::TargetExists);
        QCOMPARE(readFile(from), QByteArray("uno"));
        QCOMPARE(readFile(to), QByteArray("dos"));

        QVERIFY(QFile::remove(to));
        const std::optional<files::FileState> before = files::fileState(from);
        QVERIFY(before);
        QCOMPARE(move(from, to), files::MoveResult::Moved);
        QVERIFY(!QFile::exists(from));
        QCOMPARE(readFile(to), QByteArray("uno"));
        QVERIFY(files::fileState(to)->sameFile(*before));

        // Another program moved it first.
        QCOMPARE(move(from, home.file(QStringLiteral("c.txt"))), files::MoveResult::SourceGone);
        QVERIFY(!QFile::exists(home.file(QStringLiteral("c.txt"))));
    }

    // Where the second name is made and the first removed, another workstation may take the file
    // and a writer make a new one at the first name in between: the new file is left alone, and
    // the move counts as not made.
    void linkingLeavesANewFileAtTheFirstNameAlone()
    {
        testing::TempHome home;
        const QString from = home.file(QStringLiteral("Enviar_SMS.txt"));
        const QString to = home.file(QStringLiteral("mio.txt"));
        const QString other = home.file(QStringLiteral("del_otro_puesto.txt"));
        QVERIFY(writeFile(from, "viejo"));
        const files::MoveResult moved = files::moveByLinkingThrough(from, to, [&] {
            QCOMPARE(files::moveWithoutReplacing(from, other), files::MoveResult::Moved);
            QVERIFY(writeFile(from, "nuevo"));
        });
        QCOMPARE(moved, files::MoveResult::SourceGone);
        QCOMPARE(readFile(from), QByteArray("nuevo"));
        QCOMPARE(readFile(other), QByteArray("viejo"));
        QVERIFY(!QFile::exists(to));
    }

    void takeNamesAreEachTakesOwnAndOldestFirst()
    {
        testing::TempHome home;
        const QString file = home.file(QStringLiteral("Enviar_SMS.txt"));
        const files::TakeNames names(file, QStringLiteral("en_envio"));
        const QString first = names.fresh();
        const QString second = names.fresh();
        QVERIFY(first != second);
        QVERIFY(first.startsWith(file + QStringLiteral(".en_envio-")));
        QVERIFY(writeFile(second, "2"));
        QVERIFY(writeFile(first, "1"));
        QVERIFY(writeFile(file + QStringLiteral(".en_envio"), "0"));
        QVERIFY(writeFile(file, "el archivo"));
        QVERIFY(writeFile(home.file(QStringLiteral("Enviar_SMS.txt.en_envio_otro")), "otro"));
        QVERIFY(writeFile(home.file(QStringLiteral("Otro.txt.en_envio-1")), "otro"));
        QStringList expected{file + QStringLiteral(".en_envio"), first, second};
        if (second < first)
            std::swap(expected[1], expected[2]);
        QCOMPARE(names.leftovers(), expected);
    }

    // The file is known by its device and inode: a writer reaching it by any name, or holding it
    // since before it was moved, is seen; a reader is no writer.
    void writersAreFoundByTheFilesIdentity_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("held");
        QTest::newRow("same name") << "same" << true;
        QTest::newRow("second name") << "link" << true;
        QTest::newRow("moved since it was opened") << "moved" << true;
        QTest::newRow("open for reading and writing") << "readwrite" << true;
        QTest::newRow("open for reading") << "read" << false;
        QTest::newRow("closed") << "closed" << false;
    }
    void writersAreFoundByTheFilesIdentity()
    {
#ifndef Q_OS_LINUX
        QSKIP("Which program holds a file open is read from /proc");
#endif
        QFETCH(QString, how);
        QFETCH(bool, held);
        testing::TempHome home;
        QString file = home.file(QStringLiteral("Enviar_SMS.txt"));
        QVERIFY(writeFile(file, "600000001#Uno\n"));
        QString opened = file;
        if (how == QLatin1String("link")) {
            opened = home.file(QStringLiteral("otro_nombre.txt"));
            QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(opened).constData()), 0);
        }
        QFile writer(opened);
        // The client's own appender opens the file for reading and writing; other programs may
        // open it for writing only.
        const QIODevice::OpenMode mode = how == QLatin1String("read")        ? QIODevice::ReadOnly
                                         : how == QLatin1String("readwrite") ? QIODevice::ReadWrite | QIODevice::Append
                                                                               : QIODevice::WriteOnly | QIODevice::Append;
        QVERIFY(writer.open(mode));
        if (how == QLatin1String("closed"))
            writer.close();
        if (how == QLatin1String("moved")) {
            const QString moved = home.file(QStringLiteral("apartado.txt"));
            QCOMPARE(files::moveWithoutReplacing(file, moved), files::MoveResult::Moved);
            file = moved;
        }
        QCOMPARE(files::heldOpenForWriting(file), held);
    }

    void restWatchWaitsForTheQuietPeriod()
    {
        std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
        files::RestWatch watch(std::chrono::seconds(5), [&] { return now; });
        files::FileState state{1, 2, 10, 100};
        QCOMPARE(watch.look(state).rested, false);
        QCOMPARE(watch.look(state).wait, std::chrono::milliseconds(5000));
        now += std::chrono::seconds(2);
        QCOMPARE(watch.look(state).wait, std::chrono::milliseconds(3000));
        // Grown: the quiet period starts again.
        state.size = 20;
        QCOMPARE(watch.look(state).wait, std::chrono::milliseconds(5000));
        now += std::chrono::seconds(4);
        state.modifiedNs = 200;   // touched, same size
        QCOMPARE(watch.look(state).wait, std::chrono::milliseconds(5000));
        now += std::chrono::seconds(5);
        QVERIFY(watch.look(state).rested);
        // Another file, and one forgotten, start from their next look.
        QVERIFY(!watch.look(files::FileState{1, 3, 10, 100}).rested);
        watch.forget(state);
        QVERIFY(!watch.look(state).rested);

        files::RestWatch none(std::chrono::milliseconds(0), [&] { return now; });
        QVERIFY(none.look(state).rested);

        // Unless told otherwise, the quiet period is long enough for a writer on a share that
        // pauses between lines: five seconds.
        files::RestWatch standard;
        standard.setClock([&] { return now; });
        QVERIFY(!standard.look(state).rested);
        now += std::chrono::milliseconds(4900);
        QVERIFY(!standard.look(state).rested);
        now += std::chrono::milliseconds(100);
        QVERIFY(standard.look(state).rested);
    }

    // What a take did with a file travels in its name, from take to take and across a crash.
    void takeRecordsItsProgressInTheName()
    {
        testing::TempHome home;
        const QString file = home.file(QStringLiteral("envios.txt"));
        QVERIFY(writeFile(file, "uno\ndos\ntr"));
        qint64 now = 1000000;
        files::SharedTake take(file, QStringLiteral("en_lectura"));
        take.setClock([&] { return now; });
        take.setWriterCheck([](const QString &) { return false; });
        take.setLongRest(std::chrono::minutes(2));

        files::TakenFile taken;
        QCOMPARE(take.take(file, &taken), files::SharedTake::Claim::Taken);
        QVERIFY(!QFile::exists(file));
        QCOMPARE(taken.progress.done, 0);
        QCOMPARE(taken.progress.seenAtMs, now);
        const std::optional<QByteArray> bytes = files::readPiece(taken.path, 0, 100);
        QVERIFY(bytes);
        QCOMPARE(files::wholeLinesEnd(*bytes, false), 8);
        QCOMPARE(files::wholeLinesEnd(*bytes, true), 10);
        files::TakeProgress progress = taken.progress;
        progress.done = 8;
        QVERIFY(take.record(taken, progress));
        QCOMPARE(files::progressOf(taken.path), progress);
        QCOMPARE(take.candidates(), QStringList{taken.path});
        QVERIFY(!take.restedLong(taken));
        QVERIFY(!take.removeIfDone(taken));

        // Another take carries on where this one stopped, and the rest goes on counting.
        now += 60000;
        files::TakenFile next;
        QCOMPARE(take.take(taken.path, &next), files::SharedTake::Claim::Taken);
        QVERIFY(!QFile::exists(taken.path));
        QCOMPARE(next.progress.done, 8);
        QCOMPARE(take.longRestLeft(next), std::chrono::milliseconds(60000));
        QCOMPARE(take.take(taken.path, &taken), files::SharedTake::Claim::Gone);

        // Written into: the rest starts again.
        now += 60000;
        QVERIFY(take.restedLong(next));
        {
            QFile append(next.path);
            QVERIFY(append.open(QIODevice::Append));
            QVERIFY(append.write("es\n") == 3);
        }
        QVERIFY(take.look(next));
        QVERIFY(!take.restedLong(next));
        progress = next.progress;
        progress.done = 13;
        QVERIFY(take.record(next, progress));
        QVERIFY(!take.removeIfDone(next));
        now += 120000;
        QVERIFY(take.look(next));
        QVERIFY(take.removeIfDone(next));
        QVERIFY(take.candidates().isEmpty());
    }

    // A file written whole is, after a crash at any call the writer makes to the system (each write,
    // sync, close and rename), either the earlier file or the new one, never a part of either; a
    // write the disk refuses (full) is reported and leaves the earlier file. The writer runs as a
    // child under strace, which ends it at the chosen call or makes the call fail.
    void durableWriteSurvivesACrashAtEveryCall_data()
    {
        QTest::addColumn<QString>("calls");
        QTest::newRow("write") << QStringLiteral("write");
        QTest::newRow("sync") << QStringLiteral("fsync");
        QTest::newRow("close") << QStringLiteral("close");
        QTest::newRow("rename") << QStringLiteral("rename,renameat,renameat2");
    }
    void durableWriteSurvivesACrashAtEveryCall()
    {
        QFETCH(QString, calls);
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace ends the writer at a chosen system call");
        testing::TempHome home;
        const QString path = home.file(QStringLiteral("registro.sig"));
        const QByteArray before(196, 'a');
        const QByteArray after(180, 'b');
        const auto run = [&](const QString &inject) {
            QProcess child;
            // The leak check of a sanitized build cannot run under strace.
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
            child.setProcessEnvironment(environment);
            child.start(strace, {QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                 QStringLiteral("-e"), QStringLiteral("inject=") + calls + inject,
                                 QStringLiteral(BRISANTA_DURABLE_WRITE_CHILD), path, QString::fromLatin1(after)});
            child.waitForFinished(30000);
            return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
        };
        bool reachedTheEnd = false;
        int killed = 0;
        for (int call = 1; call <= 300 && !reachedTheEnd; ++call) {
            QVERIFY(writeFile(path, before));
            const int code = run(QStringLiteral(":signal=SIGKILL:when=%1").arg(call));
            // strace ends itself with the signal that ended its child.
            reachedTheEnd = code == 0;
            if (!reachedTheEnd) {
                QCOMPARE(code, -1);
                ++killed;
            }
            const QByteArray now = readFile(path);
            QVERIFY2(now == before || now == after, qPrintable(QStringLiteral("call %1: %2 bytes").arg(call).arg(now.size())));
            if (reachedTheEnd)
                QCOMPARE(now, after);
            for (const QString &left : QDir(home.path()).entryList({QStringLiteral("registro.sig.nuevo.*")}, QDir::Files))
                QVERIFY(QFile::remove(home.file(left)));
        }
        QVERIFY(reachedTheEnd);
        QVERIFY(killed > 0);

        // Every such call failing as on a full disk: reported, and the earlier file stays.
        if (calls != QLatin1String("close")) {
            QVERIFY(writeFile(path, before));
            QCOMPARE(run(QStringLiteral(":error=ENOSPC")), 1);
            QCOMPARE(readFile(path), before);
            QVERIFY(QDir(home.path()).entryList({QStringLiteral("registro.sig.nuevo.*")}, QDir::Files).isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestSharedFiles)

#include "test_shared_files.moc"
