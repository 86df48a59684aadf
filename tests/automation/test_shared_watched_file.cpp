#include "automation/file_taking.h"
#include "automation/watched_file.h"
#include "platform/files/moving.h"
#include "platform/files/open_writers.h"
#include "platform/files/shared_take.h"
#include "platform/files/take_names.h"
#include "line_writer.h"
#include "support/file_bytes.h"
#include "support/temp_home.h"
#include "support/this_program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstring>

#include <sys/mount.h>
#include <unistd.h>

namespace {

constexpr const char *kTakeRole = "--take-watched-file";
const QString kSeparator = QStringLiteral("#");

// One take as a workstation makes it; prints every number|message taken, one a line.
bool takeAndPrint(automation::FileTaker &taker, const QString &file, const QDateTime &now)
{
    const automation::FileTake take = taker.take(file, kSeparator, now);
    if (take.status != automation::TakeStatus::Taken)
        return false;
    for (const automation::QueuedSend &entry : take.reading.sends) {
        for (const QString &number : entry.numbers.split(QLatin1Char(',')))
            std::printf("%s\n", qPrintable(number + QLatin1Char('|') + entry.message));
    }
    std::fflush(stdout);
    return true;
}

// Another workstation with the same settings: takes the watched file as fast as it can until
// `stop` appears, then takes what is left.
int takeUntilStopped(const QString &file, const QString &stop, int firstMinute)
{
    const QDateTime start(QDate(2026, 12, 8), QTime(9, 0));
    automation::FileTaker taker;
    taker.restWatch().setQuietPeriod(std::chrono::milliseconds(0));
    int takes = 0;
    while (!QFileInfo::exists(stop))
        takeAndPrint(taker, file, start.addSecs(60 * (firstMinute + takes++)));
    for (int i = 0; i < 100 && automation::hasFileToTake(file); ++i)
        takeAndPrint(taker, file, start.addSecs(60 * (firstMinute + takes++)));
    return 0;
}

using testing::writeFile;

constexpr std::chrono::milliseconds kQuiet{5000};

// Takes of one watched file by one workstation, on a clock the test moves; what they sent.
struct Takes {
    explicit Takes(const QString &watched, std::chrono::milliseconds quiet = std::chrono::milliseconds(0),
                   std::chrono::milliseconds longRest = std::chrono::milliseconds(0))
        : file(watched)
    {
        taker.restWatch().setQuietPeriod(quiet);
        taker.restWatch().setClock([this] { return clock; });
        // The wall clock runs with the test's clock.
        taker.setClock([this] {
            return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(clock.time_since_epoch()).count());
        });
        taker.setLongRest(longRest);
    }
    // Takes until nothing is left to take (the file kept after its last read goes at a take of
    // its own); false when something is still there after a few.
    bool finish()
    {
        for (int i = 0; i < 5 && automation::hasFileToTake(file); ++i)
            take();
        return !automation::hasFileToTake(file);
    }
    automation::TakeStatus take()
    {
        last = taker.take(file, kSeparator, QDateTime(QDate(2026, 12, 8), QTime(9, 5)).addSecs(60 * minute++));
        for (const automation::QueuedSend &entry : last.reading.sends)
            sent.append(entry.numbers + QLatin1Char('|') + entry.message);
        return last.status;
    }

    QString file;
    automation::FileTaker taker;
    std::chrono::steady_clock::time_point clock{std::chrono::hours(1)};
    int minute = 0;
    automation::FileTake last;
    QStringList sent;
};

// A folder whose watched file another program holds open for appending.
struct HeldFile {
    HeldFile() : file(home.file(QStringLiteral("Enviar_SMS.txt"))), writer(file)
    {
        writer.open(QIODevice::WriteOnly | QIODevice::Append);
    }
    bool write(const QByteArray &bytes) { return writer.write(bytes) == bytes.size() && writer.flush(); }

    testing::TempHome home;
    QString file;
    QFile writer;
};

// The folder mounted a second time for as long as this lives.
class BindMount final {
public:
    BindMount() = default;
    ~BindMount()
    {
        if (!m_target.isEmpty())
            ::umount2(m_target.constData(), MNT_DETACH);
    }
    BindMount(const BindMount &) = delete;
    BindMount &operator=(const BindMount &) = delete;
    bool bind(const QString &folder, const QString &at)
    {
        const QByteArray target = QFile::encodeName(at);
        if (::mount(QFile::encodeName(folder).constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0)
            return false;
        m_target = target;
        return true;
    }

private:
    QByteArray m_target;
};

} // namespace

// The watched file shared by workstations and programs that reach it by other names or from other
// machines: every finished line is sent once, and nothing is deleted unread.
class TestSharedWatchedFile final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Two workstations share the automated-sending settings and take the same file in a tight
    // loop while a program appends line after line: every line is taken by one of them, once.
    void twoWorkstationsNeverTakeOneFileTwice()
    {
        testing::TempHome home;
        QVERIFY(home.isValid());
        const QString file = home.file(QStringLiteral("Enviar_SMS.txt"));
        const QString stop = home.file(QStringLiteral("parar"));

        QProcess takers[2];
        for (int i = 0; i < 2; ++i)
            QVERIFY(testing::startThisProgram(takers[i], {QString::fromLatin1(kTakeRole), file, stop,
                                                          QString::number(i * 100000)}));
        constexpr int kLines = 300;
        QProcess writer;
        QVERIFY(testing::startLineWriter(writer, file, kLines));
        QVERIFY(writer.waitForFinished(240000));
        QCOMPARE(writer.exitCode(), 0);
        QFile(stop).open(QIODevice::WriteOnly);

        QHash<QByteArray, int> taken;
        for (QProcess &taker : takers) {
            QVERIFY(taker.waitForFinished(60000));
            QCOMPARE(taker.exitCode(), 0);
            for (const QByteArray &line : taker.readAllStandardOutput().split('\n')) {
                if (!line.isEmpty())
                    ++taken[line];
            }
        }
        // What the two left is taken by a third.
        Takes sweep(file);
        for (int i = 0; i < 100 && automation::hasFileToTake(file); ++i)
            sweep.take();
        for (const QString &line : std::as_const(sweep.sent))
            ++taken[line.toLatin1()];
        QStringList lost;
        QStringList twice;
        for (int i = 1; i <= kLines; ++i) {
            const QByteArray line = QStringLiteral("346%1|Linea %2").arg(i, 8, 10, QLatin1Char('0')).arg(i).toLatin1();
            if (taken.value(line) == 0)
                lost.append(QString::number(i));
            else if (taken.value(line) > 1)
                twice.append(QString::number(i));
        }
        QVERIFY2(lost.isEmpty(), qPrintable(QStringLiteral("lost: ") + lost.join(QLatin1Char(','))));
        QVERIFY2(twice.isEmpty(), qPrintable(QStringLiteral("twice: ") + twice.join(QLatin1Char(','))));
        QCOMPARE(taken.size(), kLines);
        QVERIFY(!automation::hasFileToTake(file));
    }

    // A program that reaches the watched file by another name - a second name of the same file,
    // or the folder mounted elsewhere - holds it open and writes on after the take moved it
    // aside: what it writes is sent too, once it lets go.
    void writerByAnotherNameIsWaitedFor_data()
    {
        QTest::addColumn<bool>("bindMount");
        QTest::newRow("second name") << false;
        QTest::newRow("bind mount") << true;
    }
    void writerByAnotherNameIsWaitedFor()
    {
        QFETCH(bool, bindMount);
        testing::TempHome home;
        QVERIFY(home.isValid());
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("entrada")));
        const QString file = home.file(QStringLiteral("entrada/Enviar_SMS.txt"));
        QFile(file).open(QIODevice::WriteOnly);
        QString alias;
        BindMount mount;
        if (bindMount) {
            QVERIFY(QDir(home.path()).mkdir(QStringLiteral("montaje")));
            if (!mount.bind(home.file(QStringLiteral("entrada")), home.file(QStringLiteral("montaje"))))
                QSKIP("The folder cannot be mounted a second time here (needs the right to mount)");
            alias = home.file(QStringLiteral("montaje/Enviar_SMS.txt"));
        } else {
            alias = home.file(QStringLiteral("salida_del_programa.txt"));
            QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(alias).constData()), 0);
        }
        QFile writer(alias);
        QVERIFY(writer.open(QIODevice::WriteOnly | QIODevice::Append));
        QVERIFY(writer.write("600000001#Uno\r\n") > 0);
        QVERIFY(writer.flush());

        Takes takes(file);
        QCOMPARE(takes.take(), automation::TakeStatus::BeingWritten);
        QVERIFY(writer.write("600000002#Dos\r\n") > 0);
        writer.close();
        QCOMPARE(takes.take(), automation::TakeStatus::Taken);
        QCOMPARE(takes.sent, (QStringList{QStringLiteral("34600000001|Uno"), QStringLiteral("34600000002|Dos")}));
        QVERIFY(takes.finish());
    }

    // A writer this program cannot see (another user's program, one on another machine writing
    // through a share) is waited for by the quiet period: the moved file is read only once it has
    // looked the same for that long. A line finished before the take is sent once; a line still
    // being written is sent whole, later.
    void unseenWriterIsWaitedForByTheQuietPeriod()
    {
        HeldFile held;
        QVERIFY(held.writer.isOpen());
        const QString &file = held.file;
        QVERIFY(held.write("600000001#Uno\r\n"));

        Takes takes(file, kQuiet);
        takes.taker.setWriterCheck([](const QString &) { return false; });
        QCOMPARE(takes.take(), automation::TakeStatus::Resting);
        QCOMPARE(takes.last.wait, kQuiet);
        takes.clock += std::chrono::seconds(3);
        QCOMPARE(takes.take(), automation::TakeStatus::Resting);
        QCOMPARE(takes.last.wait, std::chrono::milliseconds(2000));
        // Written into the moved file: the quiet period starts again.
        QVERIFY(held.write("600000002#Dos\r\n600000003#Tr"));
        takes.clock += std::chrono::seconds(3);
        QCOMPARE(takes.take(), automation::TakeStatus::Resting);
        QCOMPARE(takes.last.wait, kQuiet);
        takes.clock += std::chrono::seconds(4);
        QVERIFY(held.write("es\r\n"));
        held.writer.close();
        takes.clock += std::chrono::seconds(4);
        QCOMPARE(takes.take(), automation::TakeStatus::Resting);
        QVERIFY(takes.sent.isEmpty());
        takes.clock += kQuiet;
        QCOMPARE(takes.take(), automation::TakeStatus::Taken);
        QCOMPARE(takes.sent, (QStringList{QStringLiteral("34600000001|Uno"), QStringLiteral("34600000002|Dos"),
                                          QStringLiteral("34600000003|Tres")}));
        QVERIFY(takes.finish());
    }

    // A writer seen holding the moved file may still write what it holds back when it closes it:
    // the quiet period counts from the first look after it let go, not from before.
    void quietPeriodStartsOnceTheWriterLetsGo()
    {
        HeldFile held;
        QVERIFY(held.write("600000001#Uno\r\n"));

        Takes takes(held.file, kQuiet);
        QCOMPARE(takes.take(), automation::TakeStatus::BeingWritten);
        takes.clock += kQuiet;
        held.writer.close();
        QCOMPARE(takes.take(), automation::TakeStatus::Resting);
        QCOMPARE(takes.last.wait, kQuiet);
        takes.clock += kQuiet;
        QCOMPARE(takes.take(), automation::TakeStatus::Taken);
        QCOMPARE(takes.sent, QStringList{QStringLiteral("34600000001|Uno")});
    }

    // A program that reaches the file by a second name opens it while the moved file is being
    // read, and has written nothing yet when the read ends: its line waits for it.
    void writerThatOpensDuringTheReadIsWaitedFor()
    {
        testing::TempHome home;
        QVERIFY(home.isValid());
        const QString file = home.file(QStringLiteral("Enviar_SMS.txt"));
        QVERIFY(writeFile(file, "600000001#Uno\r\n"));
        QFile late;
        Takes takes(file);
        int looks = 0;
        takes.taker.setWriterCheck([&](const QString &path) {
            const bool held = files::heldOpenForWriting(path);
            if (looks++ == 0) {
                late.setFileName(path);
                late.open(QIODevice::WriteOnly | QIODevice::Append);
            }
            return held;
        });
        QCOMPARE(takes.take(), automation::TakeStatus::BeingWritten);
        QVERIFY(late.isOpen());
        QVERIFY(late.write("600000002#Dos\r\n") > 0);
        late.close();
        QCOMPARE(takes.take(), automation::TakeStatus::Taken);
        QCOMPARE(takes.sent, (QStringList{QStringLiteral("34600000001|Uno"), QStringLiteral("34600000002|Dos")}));
    }

    // Another workstation moves the moved file on after this take read it and before it could
    // note the lines as its own: nothing of it is sent here and no copy of it kept, and the other
    // workstation sends it, once.
    void fileMovedOnAfterTheReadIsNotSent()
    {
        testing::TempHome home;
        QVERIFY(home.isValid());
        const QString file = home.file(QStringLiteral("Enviar_SMS.txt"));
        QVERIFY(writeFile(file, "600000001#Uno\r\n"));
        Takes here(file);
        Takes other(file);
        int looks = 0;
        here.taker.setWriterCheck([&](const QString &path) {
            if (looks++ == 1) // the look after the read
                files::moveWithoutReplacing(path, files::TakeNames(file, QStringLiteral("en_envio")).fresh());
            return false;
        });
        QCOMPARE(here.take(), automation::TakeStatus::Gone);
        QVERIFY(here.sent.isEmpty());
        QVERIFY(!QFile::exists(here.last.copyPath));
        QVERIFY(automation::takeErrorText(here.last, file).isEmpty());

        QCOMPARE(other.take(), automation::TakeStatus::Taken);
        QCOMPARE(other.sent, QStringList{QStringLiteral("34600000001|Uno")});
        QVERIFY(other.finish());
        QCOMPARE(here.take(), automation::TakeStatus::Gone);
        QVERIFY(here.sent.isEmpty());
    }

    // A writer this program cannot see keeps the file open and pauses between lines longer than
    // the quiet period: each line is sent once, as it is finished, and the moved file is kept
    // until it has rested long.
    void writerThatPausesLosesNoLine()
    {
        HeldFile held;
        Takes takes(held.file, kQuiet, files::kLongRest);
        takes.taker.setWriterCheck([](const QString &) { return false; });
        QStringList expected;
        for (int i = 1; i <= 5; ++i) {
            const QString line = QStringLiteral("60000000%1#Linea %1\r\n").arg(i);
            QVERIFY(held.write(line.toLatin1()));
            expected.append(QStringLiteral("3460000000%1|Linea %1").arg(i));
            QCOMPARE(takes.take(), automation::TakeStatus::Resting);
            takes.clock += kQuiet;
            QCOMPARE(takes.take(), automation::TakeStatus::Taken);
            QCOMPARE(takes.sent, expected);
            takes.clock += std::chrono::seconds(6);
            QCOMPARE(takes.take(), automation::TakeStatus::Kept);
        }
        held.writer.close();
        takes.clock += files::kLongRest - std::chrono::seconds(12);
        QCOMPARE(takes.take(), automation::TakeStatus::Kept);
        QVERIFY(automation::hasFileToTake(held.file));
        takes.clock += std::chrono::seconds(1);
        QCOMPARE(takes.take(), automation::TakeStatus::Gone);
        QVERIFY(!automation::hasFileToTake(held.file));
        QCOMPARE(takes.sent, expected);
    }

    // A line is sent only whole: one written in two pieces seconds apart is sent once it ends, and
    // a last line that never gets its end is sent once the file has rested long.
    void lineIsSentOnlyWhole()
    {
        HeldFile held;
        Takes takes(held.file, kQuiet, files::kLongRest);
        takes.taker.setWriterCheck([](const QString &) { return false; });
        QVERIFY(held.write("600000001#Mensaje "));
        takes.clock += kQuiet;
        QCOMPARE(takes.take(), automation::TakeStatus::Resting);
        takes.clock += kQuiet;
        QCOMPARE(takes.take(), automation::TakeStatus::Kept);
        takes.clock += std::chrono::seconds(7);
        QVERIFY(held.write("partido\r\n600000002#Dos\r\n600000003#Tres\r\n600000004#Cuatro"));
        takes.clock += kQuiet;
        QCOMPARE(takes.take(), automation::TakeStatus::Resting);
        takes.clock += kQuiet;
        QCOMPARE(takes.take(), automation::TakeStatus::Taken);
        QCOMPARE(takes.sent, (QStringList{QStringLiteral("34600000001|Mensaje partido"),
                                          QStringLiteral("34600000002|Dos"), QStringLiteral("34600000003|Tres")}));
        takes.clock += files::kLongRest / 2;
        QCOMPARE(takes.take(), automation::TakeStatus::Kept);
        takes.clock += files::kLongRest / 2;
        QCOMPARE(takes.take(), automation::TakeStatus::Taken);
        QCOMPARE(takes.sent.last(), QStringLiteral("34600000004|Cuatro"));
        QCOMPARE(takes.sent.size(), 4);
        QVERIFY(takes.finish());
        QCOMPARE(takes.sent.size(), 4);
    }

    // A large file is read a bounded piece at a time, each piece's lines sent once; the moved file
    // goes only after its last line was handed on. A line longer than a piece is refused, the
    // file left where it is and the error log told.
    void largeFileIsReadInBoundedPieces()
    {
        testing::TempHome home;
        QVERIFY(home.isValid());
        const QString file = home.file(QStringLiteral("Enviar_SMS.txt"));
        QByteArray bytes;
        int lines = 0;
        while (bytes.size() < 3 * automation::kMaxLineBytes) {
            ++lines;
            bytes += QStringLiteral("6%1#Mensaje %2\r\n").arg(lines, 8, 10, QLatin1Char('0')).arg(lines % 7).toLatin1();
        }
        QVERIFY(writeFile(file, bytes));
        Takes takes(file);
        int pieces = 0;
        QHash<QString, int> sent;
        for (int i = 0; i < 20; ++i) {
            const automation::TakeStatus status = takes.take();
            if (status != automation::TakeStatus::Taken)
                break;
            ++pieces;
            // Each take in a minute of its own: its copy holds what it read.
            QVERIFY(QFileInfo(takes.last.copyPath).size() <= automation::kMaxLineBytes);
            for (const automation::QueuedSend &entry : takes.last.reading.sends) {
                for (const QString &number : entry.numbers.split(QLatin1Char(',')))
                    ++sent[number + QLatin1Char('|') + entry.message];
            }
            QCOMPARE(automation::hasFileToTake(file), true);
        }
        QVERIFY2(pieces >= 4, qPrintable(QString::number(pieces)));
        QCOMPARE(sent.size(), lines);
        for (const int times : std::as_const(sent))
            QCOMPARE(times, 1);
        QVERIFY(takes.finish());

        QByteArray tooLong(automation::kMaxLineBytes + 10, 'x');
        QVERIFY(writeFile(file, "600000001#" + tooLong + "\r\n600000002#Dos\r\n"));
        const int before = takes.sent.size();
        QCOMPARE(takes.take(), automation::TakeStatus::LineTooLong);
        QCOMPARE(takes.sent.size(), before);
        QVERIFY(automation::takeErrorText(takes.last, file).contains(QStringLiteral("tiene una línea de más de 256 KB")));
        QCOMPARE(testing::readFile(takes.last.takenPath).size(), tooLong.size() + 10 + 2 + 15);
    }

    // A file an earlier take left under its name is moved on to this take's own name before it is
    // read; a file already at a take's name is never replaced.
    void leftoverIsTakenUnderANameOfItsOwn()
    {
        testing::TempHome home;
        QVERIFY(home.isValid());
        const QString file = home.file(QStringLiteral("Enviar_SMS.txt"));
        QVERIFY(writeFile(automation::takingPathFor(file), "600000001#Viejo\r\n"));
        QVERIFY(writeFile(file, "600000002#Nuevo\r\n"));
        Takes takes(file);
        QCOMPARE(takes.take(), automation::TakeStatus::Taken);
        QVERIFY(takes.last.leftOver);
        QVERIFY(takes.last.takenPath != automation::takingPathFor(file));
        QCOMPARE(takes.take(), automation::TakeStatus::Taken);
        QCOMPARE(takes.sent, (QStringList{QStringLiteral("34600000001|Viejo"), QStringLiteral("34600000002|Nuevo")}));
        QCOMPARE(takes.take(), automation::TakeStatus::Gone);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], kTakeRole) == 0)
        return takeUntilStopped(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QByteArray(argv[4]).toInt());
    TestSharedWatchedFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_shared_watched_file.moc"
