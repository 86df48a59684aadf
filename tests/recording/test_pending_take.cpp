#include "database/schema.h"
#include "platform/db/connection.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"
#include "support/fresh_database.h"
#include "support/this_program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kAppendRole = "--append-pending-records";

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

    // A workstation that opened the file before this start took it writes its record into the
    // taken file after it was read: the taken file is kept, and its record written at the next
    // start, once.
    void recordWrittenIntoTheTakenFileWaitsForTheNextStart()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const testing::TempHome &home = fresh.home;
        const QString file = recording::pendingSendsPath(connection.path());
        QVERIFY(recording::appendPendingSend(file, numbered(1)));
        QVERIFY(recording::appendPendingSend(file, numbered(2)));

        QFile other(file);
        QVERIFY(other.open(QIODevice::WriteOnly | QIODevice::Append));
        const recording::PendingWrite first = recording::writePendingSends(connection);
        QCOMPARE(first.written, 2);
        recording::SendRecord late = numbered(3);
        late.recordId = QStringLiteral("tarde");
        const QByteArray line = recording::pendingLine(late) + '\n';
        QCOMPARE(other.write(line), line.size());
        other.close();
        QCOMPARE(recording::readPendingRecords(file).size(), 3);

        const recording::PendingWrite next = recording::writePendingSends(connection);
        QCOMPARE(next.written, 1);
        QCOMPARE(next.alreadyThere, 2);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 3);
        QVERIFY(recording::readPendingRecords(file).isEmpty());
        QCOMPARE(QDir(home.path()).entryList({QStringLiteral("envios_pendientes*")}, QDir::Files), QStringList());
    }

    // A line that is no record, in a taken file that must stay because a writer still holds it, is
    // set aside once: when the file is done with, not at every start that finds it kept.
    void unreadableLineOfAKeptFileIsSetAsideOnce()
    {
        testing::FreshDatabase fresh;
        db::Connection &connection = fresh.connection;
        const QString file = recording::pendingSendsPath(connection.path());
        QVERIFY(recording::appendPendingSend(file, numbered(1)));
        {
            QFile garbage(file);
            QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Append));
            QVERIFY(garbage.write("no es un envío\n") > 0);
        }

        QFile other(file);
        QVERIFY(other.open(QIODevice::WriteOnly | QIODevice::Append));
        const recording::PendingWrite first = recording::writePendingSends(connection);
        QCOMPARE(first.unreadable, 1);
        const recording::PendingWrite second = recording::writePendingSends(connection);
        QCOMPARE(second.unreadable, 1);
        other.close();
        const recording::PendingWrite last = recording::writePendingSends(connection);
        QCOMPARE(last.unreadable, 1);
        QVERIFY(last.setAside);

        QFile setAside(recording::setAsidePath(connection.path()));
        QVERIFY(setAside.open(QIODevice::ReadOnly));
        QCOMPARE(setAside.readAll(), QByteArray("no es un envío\n"));
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
        QVERIFY(recording::readPendingRecords(file).isEmpty());
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

        const recording::PendingWrite w = recording::writePendingSends(connection);
        QCOMPARE(w.written, 2);
        QVERIFY(!w.fileKept);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT group_concat(id_web) FROM (SELECT id_web FROM Historial "
                                                  "ORDER BY sid)")).toString(),
                 QStringLiteral("1,2"));
        QCOMPARE(QDir(home.path()).entryList({QStringLiteral("envios_pendientes*")}, QDir::Files), QStringList());
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], kAppendRole) == 0) {
        QCoreApplication app(argc, argv);
        return appendRecords(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    }
    QCoreApplication app(argc, argv);
    TestPendingTake test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_pending_take.moc"
