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
};

QTEST_GUILESS_MAIN(TestSharedFiles)

#include "test_shared_files.moc"
