#include "automation_rig.h"
#include "line_writer.h"

#include "automation/file_taking.h"
#include "automation/watched_file.h"
#include "platform/text/cp1252.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(automation::CheckResult)

namespace {

// Takes what is left until nothing is: a moved file is kept after its last read and goes at a
// later take. False when something is still there.
bool finishTakes(testing::AutomationRig &rig)
{
    for (int i = 0; i < 5 && automation::hasFileToTake(rig.watched()); ++i)
        rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now);
    return !automation::hasFileToTake(rig.watched());
}

} // namespace

// The watched file: its lines turned into queued sends, taking it (copy, delete), the timer's
// checks and the sends reaching the gateway through the steps of a send.
class TestAutomation final : public QObject {
    Q_OBJECT

    static QStringList asText(const QList<automation::QueuedSend> &sends)
    {
        QStringList out;
        for (const automation::QueuedSend &e : sends)
            out.append(e.numbers + QLatin1Char('|') + e.message);
        return out;
    }

    // `count` distinct 11-digit numbers starting at `first`, joined by ",".
    static QString numberList(int first, int count)
    {
        QStringList list;
        for (int i = 0; i < count; ++i)
            list.append(QStringLiteral("346%1").arg(first + i, 8, 10, QLatin1Char('0')));
        return list.join(QLatin1Char(','));
    }

    static QStringList splitAll(const QList<automation::QueuedSend> &sends)
    {
        QStringList all;
        for (const automation::QueuedSend &e : sends)
            all.append(e.numbers.split(QLatin1Char(',')));
        return all;
    }

    // The grouping rule written the plain way, entry by entry from the front of the queue: the
    // model the reader must agree with, line for line.
    static QList<automation::QueuedSend> model(const QList<std::pair<QStringList, QString>> &lines)
    {
        QList<automation::QueuedSend> queue;
        QHash<QString, QSet<QString>> queued;
        for (const auto &[lineNumbers, message] : lines) {
            QStringList list;
            for (const QString &n : lineNumbers) {
                if (!queued[message].contains(n) && !list.contains(n))
                    list << n;
            }
            if (list.isEmpty())
                continue;
            for (const QString &n : list)
                queued[message].insert(n);
            const QString newList = list.join(QLatin1Char(','));
            bool placed = false;
            for (qsizetype i = 0; i < queue.size() && !placed; ++i) {
                if (queue[i].message != message)
                    continue;
                const QString joined = queue[i].numbers + QLatin1Char(',') + newList;
                if (joined.size() <= automation::kEntryLimit) {
                    queue[i].numbers = joined;
                    placed = true;
                } else if (queue[i].numbers.size() < automation::kFullEntry) {
                    qsizetype comma = joined.indexOf(QLatin1Char(','), automation::kEntryLimit - 1);
                    if (comma < 0)
                        comma = joined.lastIndexOf(QLatin1Char(','), automation::kEntryLimit - 1);
                    queue[i].numbers = joined.left(comma);
                    queue.append({joined.mid(comma + 1), message});
                    placed = true;
                }
            }
            if (!placed)
                queue.append({newList, message});
        }
        return queue;
    }

    // Runs checks until one is not a mere countdown tick.
    static automation::CheckResult check(testing::AutomationRig &rig)
    {
        automation::CheckResult r = automation::CheckResult::NotDue;
        for (int i = 0; i < 100 && r == automation::CheckResult::NotDue; ++i)
            r = rig.automation->tick();
        return r;
    }

    static QStringList sentTo(const testing::AutomationRig &rig)
    {
        QStringList out;
        for (const sim::SendRecord &send : rig.sim.sends()) {
            QStringList numbers;
            for (const sim::Recipient &r : send.recipients)
                numbers.append(r.number);
            out.append(numbers.join(QLatin1Char(',')) + QLatin1Char('|') + send.message);
        }
        return out;
    }

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<automation::CheckResult>(); }

    // --- lines into the queue -----------------------------------------------------------------

    void lines_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("queue");
        const QString h = QStringLiteral("#");
        QTest::newRow("plain") << h << QStringList{QStringLiteral("600123456#Hola")}
                               << QStringList{QStringLiteral("34600123456|Hola")};
        QTest::newRow("noise and zeros") << h << QStringList{QStringLiteral("0034 600-12.34(56)#Hola#otro texto")}
                                         << QStringList{QStringLiteral("34600123456|Hola")};
        QTest::newRow("long delimiter") << QStringLiteral("##") << QStringList{QStringLiteral("600123456##Hola##x")}
                                        << QStringList{QStringLiteral("34600123456|Hola")};
        QTest::newRow("no delimiter") << h << QStringList{QStringLiteral("600123456 Hola")} << QStringList{};
        QTest::newRow("short numbers") << h << QStringList{QStringLiteral("123456,12-34#Hola")} << QStringList{};
        QTest::newRow("starts with 7") << h << QStringList{QStringLiteral("712345678#Hola")}
                                       << QStringList{QStringLiteral("712345678|Hola")};
        QTest::newRow("same message") << h
                                      << QStringList{QStringLiteral("600000001#Hola"), QStringLiteral("600000002#Hola")}
                                      << QStringList{QStringLiteral("34600000001,34600000002|Hola")};
        QTest::newRow("file order") << h
                                    << QStringList{QStringLiteral("600000001#B"), QStringLiteral("600000002#A"),
                                                   QStringLiteral("600000003#B")}
                                    << QStringList{QStringLiteral("34600000001,34600000003|B"),
                                                   QStringLiteral("34600000002|A")};
        QTest::newRow("case counts") << h
                                     << QStringList{QStringLiteral("600000001#hola"), QStringLiteral("600000002#Hola")}
                                     << QStringList{QStringLiteral("34600000001|hola"), QStringLiteral("34600000002|Hola")};
        QTest::newRow("repeats once") << h
                                      << QStringList{QStringLiteral("600000001,+34 600 000 001#A"),
                                                     QStringLiteral("600000001,600000002#A")}
                                      << QStringList{QStringLiteral("34600000001,34600000002|A")};
        // Compared whole: the shorter number inside the longer one is another number.
        QTest::newRow("not a substring") << h
                                         << QStringList{QStringLiteral("34600123456#A"), QStringLiteral("3460012345#A")}
                                         << QStringList{QStringLiteral("34600123456,3460012345|A")};
        QTest::newRow("message as written") << h << QStringList{QStringLiteral("600000001# Hola, qué tal #x#y")}
                                            << QStringList{QStringLiteral("34600000001| Hola, qué tal ")};
        QTest::newRow("empty message") << h << QStringList{QStringLiteral("600000001#")}
                                       << QStringList{QStringLiteral("34600000001|")};
        QTest::newRow("digits only") << h << QStringList{QStringLiteral("6001e2345,&H1F00000#A")} << QStringList{};
        QTest::newRow("blank lines") << h << QStringList{QString(), QStringLiteral("   "), QStringLiteral("600000001#A")}
                                     << QStringList{QStringLiteral("34600000001|A")};
    }
    void lines()
    {
        QFETCH(QString, separator);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, queue);
        QCOMPARE(asText(automation::groupByMessage(lines, separator).sends), queue);
    }

    // Many lines, few messages, lists of every length: entries fill, stick near the limit and take
    // only short lists, get cut, and the queue keeps its order. The reader must group exactly as
    // the plain rule does.
    void groupingFollowsTheRuleOnLargeFiles()
    {
        quint32 seed = 20261208;
        const auto random = [&seed](quint32 n) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % n;
        };
        QStringList lines;
        QList<std::pair<QStringList, QString>> modelled;
        for (int l = 0; l < 6000; ++l) {
            const QString message = QStringLiteral("Mensaje %1").arg(random(7));
            QStringList lineNumbers;
            const quint32 howMany = random(10) == 0 ? 1 + random(120) : 1 + random(9);
            for (quint32 k = 0; k < howMany; ++k) {
                // 7 to 14 digits, from a pool small enough to repeat now and then.
                const quint32 length = 7 + random(8);
                // Not a nine-digit 6...: that one would gain a 34 in front.
                QString number = QString::number(random(2) == 0 ? 7 : 1 + random(5));
                while (number.size() < qsizetype(length))
                    number += QString::number(random(10));
                lineNumbers << number;
            }
            lines << lineNumbers.join(QLatin1Char(',')) + QLatin1Char('#') + message;
            modelled.append({lineNumbers, message});
        }
        const QList<automation::QueuedSend> queue = automation::groupByMessage(lines, QStringLiteral("#")).sends;
        const QList<automation::QueuedSend> expectedText = model(modelled);
        QCOMPARE(queue.size(), expectedText.size());
        QVERIFY(queue.size() > 100);
        for (qsizetype i = 0; i < queue.size(); ++i)
            QCOMPARE(asText({queue[i]}), asText({expectedText[i]}));
    }

    void fullEntryTakesNoMore()
    {
        const QString large = numberList(0, 79); // 947 characters
        const QString rest = numberList(100, 9);
        const auto queue = automation::groupByMessage(
                              {large + QStringLiteral("#A"), rest + QStringLiteral("#A")}, QStringLiteral("#"))
                              .sends;
        QCOMPARE(asText(queue), (QStringList{large + QStringLiteral("|A"), rest + QStringLiteral("|A")}));
    }

    void joinedListIsCutAtACommaPastTheLimit()
    {
        const QString first = numberList(0, 67);  // 803 characters
        const QString second = numberList(100, 25); // 299 characters
        const auto queue = automation::groupByMessage(
                              {first + QStringLiteral("#A"), second + QStringLiteral("#A")}, QStringLiteral("#"))
                              .sends;
        QCOMPARE(queue.size(), 2);
        const QString joined = first + QLatin1Char(',') + second;
        const qsizetype comma = joined.indexOf(QLatin1Char(','), 999);
        QCOMPARE(queue[0].numbers, joined.left(comma));
        QCOMPARE(queue[1].numbers, joined.mid(comma + 1));
        QCOMPARE(queue[1].message, QStringLiteral("A"));
    }

    // The last number runs across the limit to the end: no comma to cut at past it.
    void longLastNumberIsNeitherLostNorRepeated()
    {
        const QString first = numberList(0, 71); // 851 characters
        const QString longLine = QString(200, QLatin1Char('7'));
        const auto queue = automation::groupByMessage(
                              {first + QStringLiteral("#A"), longLine + QStringLiteral("#A")}, QStringLiteral("#"))
                              .sends;
        QStringList expected = first.split(QLatin1Char(','));
        expected.append(longLine);
        QCOMPARE(splitAll(queue), expected);
        QVERIFY(queue[0].numbers.size() <= automation::kEntryLimit);
    }

    void oneLongLineIsNeverDivided()
    {
        const QString longLine = numberList(0, 120); // 1439 characters
        const auto queue = automation::groupByMessage({longLine + QStringLiteral("#A")}, QStringLiteral("#")).sends;
        QCOMPARE(asText(queue), QStringList{longLine + QStringLiteral("|A")});
    }

    void discardsAreKept()
    {
        const auto reading = automation::groupByMessage(
            {QStringLiteral("sin separador"), QStringLiteral("123#corto"), QStringLiteral("600000001,abc#Hola")},
            QStringLiteral("#"));
        QCOMPARE(reading.discards.size(), 3);
        QCOMPARE(automation::discardText(reading.discards[0]),
                 QStringLiteral("Línea sin separador, no enviada: sin separador"));
        QCOMPARE(automation::discardText(reading.discards[1]),
                 QStringLiteral("Línea sin ningún número de teléfono válido, no enviada: 123#corto"));
        QCOMPARE(automation::discardText(reading.discards[2]),
                 QStringLiteral("Número de teléfono no válido, no enviado: abc. Texto del mensaje: Hola"));
    }

    void encodingsAndLineEnds()
    {
        // Windows-1252, every kind of line end, no end after the last line.
        const QByteArray ansi = "600000001#Ca\xF1" "a\r\n600000002#\x80 5\n600000003#x\r600000004#y";
        QCOMPARE(automation::fileLines(ansi),
                 (QStringList{QStringLiteral("600000001#Caña"), QStringLiteral("600000002#€ 5"),
                              QStringLiteral("600000003#x"), QStringLiteral("600000004#y")}));
        // UTF-8 with a byte-order mark: the first line's number is not lost to it.
        const QByteArray utf8 = "\xEF\xBB\xBF" "600000001#Caña\r\n";
        const QStringList lines = automation::fileLines(utf8);
        QCOMPARE(lines, QStringList{QStringLiteral("600000001#Caña")});
        QCOMPARE(asText(automation::groupByMessage(lines, QStringLiteral("#")).sends),
                 QStringList{QStringLiteral("34600000001|Caña")});
        QVERIFY(automation::fileLines(QByteArray()).isEmpty());
    }

    void archiveName()
    {
        const QDateTime now(QDate(2026, 12, 8), QTime(9, 5, 59));
        QCOMPARE(automation::copyName(now), QStringLiteral("enviados_2026_12_08__09_05.txt"));
        QCOMPARE(automation::copyPathFor(QStringLiteral("/datos/in/Enviar_SMS.txt"), now),
                 QStringLiteral("/datos/in/enviados_2026_12_08__09_05.txt"));
        QCOMPARE(automation::copyPathFor(QStringLiteral("Enviar_SMS.txt"), now),
                 QDir::current().filePath(QStringLiteral("enviados_2026_12_08__09_05.txt")));
    }

    // --- taking the file ----------------------------------------------------------------------

    void takingCopiesThenDeletes()
    {
        testing::AutomationRig rig;
        const QByteArray bytes = "600000001#Uno\r\n600000002#Dos\r\n";
        QVERIFY(rig.write(bytes));
        const auto take = rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now);
        QCOMPARE(take.status, automation::TakeStatus::Taken);
        QCOMPARE(take.reading.sends.size(), 2);
        QVERIFY(!QFile::exists(rig.watched()));
        QCOMPARE(take.copyPath, rig.inbox(QStringLiteral("enviados_2026_12_08__09_05.txt")));
        QCOMPARE(testing::AutomationRig::read(take.copyPath), bytes);

        // A second file within the same minute: its lines are added to the copy.
        QVERIFY(rig.write("600000003#Tres\r\n"));
        QCOMPARE(rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now).status,
                 automation::TakeStatus::Taken);
        QCOMPARE(testing::AutomationRig::read(take.copyPath), bytes + "600000003#Tres\r\n");
        // The moved files are kept after their last read, and go at a later take.
        QVERIFY(finishTakes(rig));
        QCOMPARE(QDir(rig.home.file(QStringLiteral("entrada"))).entryList(QDir::Files).size(), 1);
    }

    // Another program appends line after line (open, append, close) while the file is taken
    // again and again: every line is read by one take and one only, and is in that take's copy.
    void linesWrittenDuringTakesAreNeverLost()
    {
#ifndef Q_OS_LINUX
        QSKIP("Which program holds a file open for writing is read from /proc");
#endif
        testing::AutomationRig rig;
        constexpr int kLines = 200;
        QProcess writer;
        QVERIFY(testing::startLineWriter(writer, rig.watched(), kLines));

        QHash<QString, int> taken;
        QHash<QByteArray, int> archived;
        int takes = 0;
        int takenTimes = 0;
        auto takeOnce = [&] {
            // A minute of its own for each take, so no copy replaces another.
            const auto take = rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now.addSecs(60 * takes++));
            if (take.status != automation::TakeStatus::Taken)
                return;
            ++takenTimes;
            for (const automation::QueuedSend &entry : take.reading.sends) {
                for (const QString &number : entry.numbers.split(QLatin1Char(',')))
                    ++taken[number + QLatin1Char('|') + entry.message];
            }
            const QByteArray copy = testing::AutomationRig::read(take.copyPath);
            for (const QByteArray &line : copy.split('\n')) {
                if (!line.isEmpty())
                    ++archived[line];
            }
        };
        while (!writer.waitForFinished(0))
            takeOnce();
        QCOMPARE(writer.exitCode(), 0);
        for (int i = 0; i < 5 && automation::hasFileToTake(rig.watched()); ++i)
            takeOnce();
        QVERIFY(!automation::hasFileToTake(rig.watched()));
        QVERIFY2(takenTimes > 1, qPrintable(QString::number(takenTimes)));

        QCOMPARE(taken.size(), kLines);
        QCOMPARE(archived.size(), kLines);
        for (int i = 1; i <= kLines; ++i) {
            const QString number = QStringLiteral("346%1").arg(i, 8, 10, QLatin1Char('0'));
            QCOMPARE(taken.value(number + QStringLiteral("|Linea ") + QString::number(i)), 1);
            QCOMPARE(archived.value(QStringLiteral("6%1#Linea %2").arg(i, 8, 10, QLatin1Char('0')).arg(i).toLatin1()), 1);
        }
    }

    // The file goes only once its copy is safely written: the copy's name taken by a folder, or a
    // disk that stores only the first bytes of the copy (every later write failing as on a full disk).
    void copyThatCannotBeWrittenKeepsTheFile_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("name taken") << false;
        QTest::newRow("disk full") << true;
    }
    void copyThatCannotBeWrittenKeepsTheFile()
    {
        QFETCH(bool, diskFull);
        testing::AutomationRig rig;
        QVERIFY(rig.write("600000001#Uno\r\n"));
        const QString copy = rig.inbox(QStringLiteral("enviados_2026_12_08__09_05.txt"));
        if (!diskFull)
            QVERIFY(QDir(rig.home.file(QStringLiteral("entrada"))).mkdir(QStringLiteral("enviados_2026_12_08__09_05.txt")));
        std::optional<testing::FileSizeLimit> full;
        if (diskFull) {
            full.emplace(4);
            QVERIFY(full->isActive());
        }
        const auto take = rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now);
        full.reset();
        QCOMPARE(take.status, automation::TakeStatus::NotCopied);
        if (diskFull) {
            QVERIFY(!QFileInfo::exists(copy));
            QCOMPARE(QDir(rig.home.file(QStringLiteral("entrada"))).entryList(QDir::Files | QDir::Hidden).size(), 1);
        }
        QVERIFY(take.reading.sends.isEmpty());
        QCOMPARE(testing::AutomationRig::read(take.takenPath), QByteArray("600000001#Uno\r\n"));
        QVERIFY(automation::takeErrorText(take, rig.watched()).contains(QStringLiteral("se deja apartado como ")));

        // The lines set aside are the next take's, before a file written since.
        QVERIFY(rig.write("600000002#Dos\r\n"));
        const auto next = rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now.addSecs(60));
        QCOMPARE(next.status, automation::TakeStatus::Taken);
        QVERIFY(next.leftOver);
        QCOMPARE(asText(next.reading.sends), QStringList{QStringLiteral("34600000001|Uno")});
        QCOMPARE(testing::AutomationRig::read(rig.watched()), QByteArray("600000002#Dos\r\n"));
        QCOMPARE(asText(rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now.addSecs(120)).reading.sends),
                 QStringList{QStringLiteral("34600000002|Dos")});
        QVERIFY(finishTakes(rig));
    }

    // A program that still has the file open for writing when it is moved aside writes on into
    // the moved file: it is read only once that program has let go of it.
    void fileStillOpenForWritingWaits()
    {
#ifndef Q_OS_LINUX
        QSKIP("Which program holds a file open for writing is read from /proc");
#endif
        testing::AutomationRig rig;
        QFile writer(rig.watched());
        QVERIFY(writer.open(QIODevice::WriteOnly | QIODevice::Append));
        QVERIFY(writer.write("600000001#Uno\r\n") > 0);
        QVERIFY(writer.flush());
        const auto take = rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now);
        QCOMPARE(take.status, automation::TakeStatus::BeingWritten);
        QVERIFY(!QFile::exists(rig.watched()));
        QVERIFY(automation::hasFileToTake(rig.watched()));
        QVERIFY(writer.write("600000002#Dos\r\n") > 0);
        writer.close();

        const auto next = rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now);
        QCOMPARE(next.status, automation::TakeStatus::Taken);
        QCOMPARE(asText(next.reading.sends),
                 (QStringList{QStringLiteral("34600000001|Uno"), QStringLiteral("34600000002|Dos")}));
        QVERIFY(finishTakes(rig));
    }

    void folderAtThePathIsNotAFile()
    {
        testing::AutomationRig rig;
        QVERIFY(QDir(rig.home.file(QStringLiteral("entrada"))).mkdir(QStringLiteral("Enviar_SMS.txt")));
        const auto take = rig.taker.take(rig.watched(), QStringLiteral("#"), rig.now);
        QCOMPARE(take.status, automation::TakeStatus::Unreadable);
        QVERIFY(QFileInfo(rig.watched()).isDir());
        QVERIFY(!QFile::exists(take.copyPath));
    }

    // --- the timer and the steps of a send ----------------------------------------------------

    void firstCheckAfterTheInterval()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("3"));
        rig.automation->toggle();
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NotDue);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NotDue);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NoFile);
        QCOMPARE(rig.automation->countdown(), 3);

        // The settings are read again at every check.
        rig.settings(QStringLiteral("1"));
        QCOMPARE(check(rig), automation::CheckResult::NoFile);
        QCOMPARE(rig.automation->countdown(), 1);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NoFile); // "1": every tick
    }

    // The whole way: the timer's own tick finds the file, the entries reach the gateway one after
    // another, each is recorded, and no box is shown.
    void timerSendsTheFile()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        const QByteArray bytes = "600000001#Uno\r\n600000002#Dos#ignorado\r\n600000003#Uno\r\n";
        QVERIFY(rig.write(bytes));
        QSignalSpy checks(rig.automation.get(), &automation::AutomationController::checkDone);
        QSignalSpy credentials(rig.automation.get(), &automation::AutomationController::credentialsRead);
        rig.automation->toggle();
        rig.automation->timer().setInterval(1); // the minute, cut short
        QVERIFY(checks.wait(5000));
        QCOMPARE(checks.first().first().value<automation::CheckResult>(), automation::CheckResult::Read);
        QCOMPARE(rig.automation->timer().interval(), 60000);
        QCOMPARE(credentials.count(), 1);

        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.sends().size(), 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QCOMPARE(sentTo(rig), (QStringList{QStringLiteral("34600000001,34600000003|Uno"),
                                           QStringLiteral("34600000002|Dos")}));
        QCOMPARE(rig.sim.sends().first().sender, QStringLiteral("Tienda"));
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 2);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT group_concat(destinatario, ';') FROM Historial")),
                 QStringLiteral("34600000001,34600000003;34600000002"));
        QVERIFY(!QFile::exists(rig.watched()));
        QCOMPARE(testing::AutomationRig::read(rig.inbox(QStringLiteral("enviados_2026_12_08__09_05.txt"))), bytes);
        QCOMPARE(rig.prompter.count(), 0);
        QVERIFY(rig.view->messageBox()->toPlainText().isEmpty());
        QVERIFY(rig.view->recipientsBox()->toPlainText().isEmpty());
        QVERIFY(rig.errorLog().isEmpty());
    }

    // The client stopped after moving the file aside and before sending it: the next check finds
    // what was set aside and sends it before any file written since.
    void fileSetAsideBeforeAStopIsSentFirst()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        QVERIFY(testing::AutomationRig::writeTo(automation::takingPathFor(rig.watched()), "600000001#Apartado\r\n"));
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QCOMPARE(sentTo(rig), QStringList{QStringLiteral("34600000001|Apartado")});
        QVERIFY(finishTakes(rig));

        QVERIFY(testing::AutomationRig::writeTo(automation::takingPathFor(rig.watched()), "600000002#Viejo\r\n"));
        QVERIFY(rig.write("600000003#Nuevo\r\n"));
        rig.now = rig.now.addSecs(60);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QCOMPARE(sentTo(rig), (QStringList{QStringLiteral("34600000001|Apartado"), QStringLiteral("34600000002|Viejo"),
                                           QStringLiteral("34600000003|Nuevo")}));
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 3);
        QVERIFY(finishTakes(rig));
    }

    // A file still settling is no failure: nothing is logged, and it is taken as soon as its
    // quiet period is over, not a whole interval later.
    void settlingFileIsTakenOnceItHasRested()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"));
        QVERIFY(rig.write("600000001#Uno\r\n"));
        std::chrono::steady_clock::time_point clock{std::chrono::hours(1)};
        rig.automation->fileTaker().restWatch().setQuietPeriod(std::chrono::seconds(5));
        rig.automation->fileTaker().restWatch().setClock([&] { return clock; });
        rig.automation->toggle();
        QVERIFY(rig.automation->isOn());

        QCOMPARE(rig.automation->readWatchedFile(rig.watched(), QStringLiteral("#")), automation::CheckResult::NotTaken);
        QCOMPARE(rig.automation->fileTaker().take(rig.watched(), QStringLiteral("#"), rig.now).status,
                 automation::TakeStatus::Resting);
        QVERIFY(rig.automation->restTimer().isActive());
        QVERIFY(rig.automation->restTimer().interval() >= 5000);
        QVERIFY(rig.automation->restTimer().interval() < 60000);
        QVERIFY(rig.errorLog().isEmpty());
        QVERIFY(rig.sim.sends().isEmpty());

        QSignalSpy checks(rig.automation.get(), &automation::AutomationController::checkDone);
        clock += std::chrono::seconds(5);
        rig.automation->restTimer().start(0); // the quiet period, cut short
        QVERIFY(checks.wait(5000));
        QCOMPARE(checks.first().first().value<automation::CheckResult>(), automation::CheckResult::Read);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QCOMPARE(sentTo(rig), QStringList{QStringLiteral("34600000001|Uno")});
        QVERIFY(finishTakes(rig));
        QCOMPARE(rig.automation->countdown(), 5);
    }

    void windows1252FileIsSentAsWritten()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        QVERIFY(rig.write("600000001#Ca\xF1" "a y \x80\r\n"));
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QCOMPARE(sentTo(rig), QStringList{QStringLiteral("34600000001|Caña y €")});
        QCOMPARE(rig.scalar(QStringLiteral("SELECT mensaje FROM Historial")), QStringLiteral("Caña y €"));
    }

    // Each handled reply with entries left brings a tick at once: k entries bring the next check
    // up to k - 1 minutes earlier.
    void batchShortensTheCountdown()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"));
        // Replies that come slower than the tick they bring, as a real gateway's do: on a loaded
        // machine the loopback simulator could otherwise answer before that tick ran.
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 3, std::chrono::milliseconds(400)});
        QVERIFY(rig.write("600000001#A\r\n600000002#B\r\n600000003#C\r\n"));
        rig.automation->toggle();
        QCOMPARE(check(rig), automation::CheckResult::Read);
        QCOMPARE(rig.automation->countdown(), 5);
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.sends().size(), 3, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.automation->countdown(), 3, 5000);
        QCOMPARE(rig.automation->timer().interval(), 60000);
    }

    void refusedSendGoesToTheLog()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        rig.sim.armCustomReply(sim::Endpoint::SendSms, QStringLiteral("3|Authentication failure"));
        QVERIFY(rig.write("600000001#Uno\r\n600000002#Dos\r\n"));
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.rows(QStringLiteral("Historial")), 1, 5000);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT mensaje FROM Historial")), QStringLiteral("Dos"));
        QVERIFY(rig.errorLog().contains("--- Error al enviar a destinatario: 34600000001. Texto del mensaje: Uno\r\n"));
        QCOMPARE(rig.prompter.count(), 0);
    }

    // What a line could not send is written down for the writing program's owner, and a file of
    // nothing usable is still archived and removed.
    void unusableLinesAreLogged()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        QVERIFY(rig.write("hola mundo\r\n12345#corto\r\n"));
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QVERIFY(!QFile::exists(rig.watched()));
        QVERIFY(QFile::exists(rig.inbox(QStringLiteral("enviados_2026_12_08__09_05.txt"))));
        QVERIFY(!rig.panel->isAutomated());
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 0);
        const QString log = text::decodeAnsiOrUtf8(rig.errorLog());
        QVERIFY(log.contains(QStringLiteral("08/12/2026 9:05:30--- Línea sin separador, no enviada: hola mundo\r\n")));
        QVERIFY(log.contains(QStringLiteral("--- Línea sin ningún número de teléfono válido, no enviada: 12345#corto\r\n")));
    }

    // A line longer than a check reads at once is refused: the error log says so once, nothing of
    // the file is sent, and the file stays where the take moved it. A file of lines only is read a
    // piece at a time, each piece right after the last one's lines were handed on.
    void overlongLineIsLoggedAndTheFileKept()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        QVERIFY(rig.write("600000001#" + QByteArray(automation::kMaxLineBytes, 'x') + "\r\n600000002#Dos\r\n"));
        QCOMPARE(rig.automation->readWatchedFile(rig.watched(), QStringLiteral("#")), automation::CheckResult::NotTaken);
        QCOMPARE(rig.automation->readWatchedFile(rig.watched(), QStringLiteral("#")), automation::CheckResult::NotTaken);
        const QString log = text::decodeAnsiOrUtf8(rig.errorLog());
        QCOMPARE(log.count(QStringLiteral("tiene una línea de más de 256 KB")), 1);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 0);
        QVERIFY(automation::hasFileToTake(rig.watched()));
        QCOMPARE(rig.panel->queuedCount(), 0);
    }

    void largeFileGoesOnPieceByPiece()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        QByteArray bytes;
        int lines = 0;
        while (bytes.size() < automation::kMaxLineBytes + automation::kMaxLineBytes / 2) {
            ++lines;
            bytes += QStringLiteral("sin separador %1 ").arg(lines).toLatin1() + QByteArray(400, 'x') + "\r\n";
        }
        QVERIFY(rig.write(bytes));
        rig.automation->toggle();
        QSignalSpy checks(rig.automation.get(), &automation::AutomationController::checkDone);
        rig.automation->timer().setInterval(1); // the first interval, cut short
        QVERIFY(checks.wait(5000));
        // Every line of the first piece logged, the next piece follows at once.
        QTRY_COMPARE_WITH_TIMEOUT(text::decodeAnsiOrUtf8(rig.errorLog()).count(QStringLiteral("Línea sin separador")),
                                  lines, 10000);
        QCOMPARE(checks.first().first().value<automation::CheckResult>(), automation::CheckResult::Read);
        QVERIFY(checks.size() >= 2);
    }

    void noAccountLeavesTheFile()
    {
        testing::AutomationRig rig(false);
        rig.settings(QStringLiteral("1"));
        QVERIFY(rig.write("600000001#Uno\r\n"));
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NoAccount);
        QCOMPARE(rig.prompter.messageTexts(),
                 QStringList{QStringLiteral("Introduzca primero los datos de usuario en Archivo->Configuración")});
        QVERIFY(QFile::exists(rig.watched()));
        QCOMPARE(rig.panel->queuedCount(), 0);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 0);
    }

    // Ticks go on while the box is up; they must not pile a second box on the first.
    void noAccountBoxDoesNotStack()
    {
        testing::AutomationRig rig(false);
        rig.settings(QStringLiteral("1"));
        QVERIFY(rig.write("600000001#Uno\r\n"));
        QList<automation::CheckResult> underTheBox;
        rig.prompter.setOnCall([&](const testing::ScriptedPrompter::Call &) {
            underTheBox.append(rig.automation->tick());
        });
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NoAccount);
        QCOMPARE(underTheBox, QList<automation::CheckResult>{automation::CheckResult::NoAccount});
        QCOMPARE(rig.prompter.count(), 1);
        QVERIFY(QFile::exists(rig.watched()));
    }

    void missingSettingsAndOddPaths()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"), QString());
        QVERIFY(rig.write("600000001#Uno\r\n"));
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NoSettings);
        QVERIFY(QFile::exists(rig.watched()));

        rig.connection.execute(QStringLiteral("DELETE FROM Automatizado"));
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NoSettings);
        QVERIFY(QFile::exists(rig.watched()));
        QCOMPARE(rig.prompter.count(), 0);

        // A folder where the file should be: reported once while it lasts, the client goes on.
        const QString folder = rig.inbox(QStringLiteral("carpeta.txt"));
        QVERIFY(QDir().mkdir(folder));
        rig.settings(QStringLiteral("1"), QStringLiteral("#"), folder);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NotTaken);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::NotTaken);
        QCOMPARE(rig.errorLog().count("No se ha podido leer el archivo de env"), 1);
        QVERIFY(QFileInfo(folder).isDir());
    }

    // A tick whose countdown runs out while a queued send awaits its reply must not send beside
    // it; the entry goes when that reply comes.
    void tickDoesNotOvertakeASendInFlight()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(300)});
        QVERIFY(rig.write("600000001#Uno\r\n600000002#Dos\r\n"));
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QCOMPARE(rig.panel->queuedCount(), 1);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::SentFromQueue);
        QCOMPARE(rig.panel->queuedCount(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QCOMPARE(sentTo(rig), (QStringList{QStringLiteral("34600000001|Uno"), QStringLiteral("34600000002|Dos")}));
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 2);
    }

    // Switching off leaves the queue: what was read goes on going out.
    void stoppingKeepsTheQueue()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(200)});
        QVERIFY(rig.write("600000001#A\r\n600000002#B\r\n600000003#C\r\n"));
        rig.automation->toggle();
        QCOMPARE(check(rig), automation::CheckResult::Read);
        rig.automation->toggle();
        QVERIFY(!rig.automation->isOn());
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.sends().size(), 3, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 5000);
        QVERIFY(!rig.automation->isOn()); // the shortened interval did not switch the timer on
    }

    // The gateway cannot be reached at all: every entry of the file fails. Each one leaves its
    // line in the log, the queue runs to its end, and the user gets one notice, not a pile of
    // boxes, however the replies fall while it is up.
    void unreachableGatewayLogsEveryEntryAndOneNotice()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("1"));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        qputenv("BRISANTA_URL_BASE", QStringLiteral("http://127.0.0.1:%1/").arg(port).toUtf8());
        QVERIFY(rig.write("600000001#Uno\r\n600000002#Dos\r\n600000003#Tres\r\n600000004#Cuatro\r\n"
                          "600000005#Cinco\r\n"));

        int depth = 0;
        int deepest = 0;
        rig.prompter.setOnCall([&](const testing::ScriptedPrompter::Call &) {
            deepest = std::max(deepest, ++depth);
            // The box is modal: the queue's replies keep arriving under it.
            QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 10000);
            --depth;
        });
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.panel->queuedCount(), 0, 10000);

        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(deepest, 1);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error"));
        const QString log = text::decodeAnsiOrUtf8(rig.errorLog());
        QCOMPARE(log.count(QStringLiteral("--- Error al enviar a destinatario: ")), 5);
        for (const QString &line : {QStringLiteral("34600000001. Texto del mensaje: Uno\r\n"),
                                    QStringLiteral("34600000002. Texto del mensaje: Dos\r\n"),
                                    QStringLiteral("34600000005. Texto del mensaje: Cinco\r\n")})
            QVERIFY2(log.contains(QStringLiteral("--- Error al enviar a destinatario: ") + line), qPrintable(log));
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 0);
        QVERIFY(rig.view->sendButton()->isEnabled());

        // The next batch may tell its own failure again.
        rig.prompter.setOnCall({});
        QVERIFY(rig.write("600000006#Seis\r\n"));
        rig.now = rig.now.addSecs(60);
        QCOMPARE(rig.automation->tick(), automation::CheckResult::Read);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->isAutomated(), 10000);
        QCOMPARE(rig.prompter.count(), 2);
        QCOMPARE(text::decodeAnsiOrUtf8(rig.errorLog()).count(QStringLiteral("--- Error al enviar a destinatario: ")), 6);
    }
};

QTEST_MAIN(TestAutomation)
#include "test_automation.moc"
