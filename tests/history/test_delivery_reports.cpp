#include "history/delivery_reports.h"
#include "history/send_time.h"
#include "history_fixture.h"
#include "support/peak_memory.h"

#include <QTest>

using namespace history;
using historytest::Database;

class TestDeliveryReports final : public QObject {
    Q_OBJECT

    const QString minutes = nowMinutes(historytest::fixedNow());
    const Account ana{QStringLiteral("ana"), QStringLiteral("p&ss")};

    static QString stateOfRow(Database &db, qint64 sid)
    {
        return db.connection.scalar(QStringLiteral("SELECT estado FROM Historial WHERE sid=?"), {sid}).toString();
    }

    static QString fieldValue(const GatewayRequest &r, const QString &name)
    {
        for (const net::FormField &f : r.fields) {
            if (f.name == name)
                return f.value;
        }
        return QStringLiteral("<missing>");
    }

private Q_SLOTS:
    void requestBody()
    {
        const GatewayRequest r = buildReportRequest(ana, "77,78");
        QVERIFY(r.url.endsWith(QStringLiteral("/APIv2/getreport.php")));
        QCOMPARE(r.fields.size(), 3);
        QCOMPARE(r.fields[0].name, QStringLiteral("username"));
        QCOMPARE(r.fields[1].name, QStringLiteral("password"));
        QCOMPARE(r.fields[1].value, QStringLiteral("p%26ss"));
        QCOMPARE(r.fields[2].name, QStringLiteral("sms_id"));
        QCOMPARE(r.fields[2].value, QStringLiteral("77,78"));
    }

    void noDueSendAsksNothing()
    {
        Database db;
        db.insert({.recipients = "1", .scheduledFor = "2024-05-10 12:00", .gatewayId = "1"});   // current minute
        db.insert({.recipients = "1", .gatewayId = "2", .state = "1|1|0"});                    // final
        const PendingReport p = findPendingReports(db.connection, ana, minutes);
        QCOMPARE(p.status, PendingReport::Status::Nothing);
        QVERIFY(p.ids.isEmpty());
    }

    void twentyNewestDueOfThisAccount()
    {
        Database db;
        for (int i = 1; i <= 25; ++i)
            db.insert({.recipients = "1", .gatewayId = QString::number(i), .username = i % 2 ? "ana" : ""});
        db.insert({.recipients = "1", .gatewayId = "100", .username = "luis"});                  // another account
        db.insert({.recipients = "1", .scheduledFor = "2024-05-10 11:59", .gatewayId = "101"});   // earlier minute
        db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "102"});   // future
        const PendingReport p = findPendingReports(db.connection, ana, minutes);
        QCOMPARE(p.status, PendingReport::Status::Ready);
        QStringList expected{"101"};
        for (int i = 25; expected.size() < 20; --i)
            expected << QString::number(i);
        QCOMPARE(p.ids, expected);
        QCOMPARE(fieldValue(p.request, "sms_id"), expected.join(','));
    }

    void singleSendAskedWhateverItsState()
    {
        Database db;
        const qint64 sid = db.insert({.recipients = "1", .gatewayId = "55", .state = "1|1|0"});
        const auto r = buildSendReportRequest(db.connection, {}, QStringLiteral("Fecha %1").arg(sid));
        QVERIFY(r.has_value());
        QCOMPARE(fieldValue(r->request, "sms_id"), QStringLiteral("55"));
        QCOMPARE(fieldValue(r->request, "username"), QString());
        QCOMPARE(r->rows.sidById, (QHash<QString, qint64>{{"55", sid}}));
        QVERIFY(!r->rows.unsettledOnly);
        QVERIFY(!buildSendReportRequest(db.connection, ana, "l0").has_value());
        QVERIFY(!buildSendReportRequest(db.connection, ana, "pMensaje 999").has_value());
    }

    // A charged send whose reply gave no number as its identifier is in the history, but that
    // text is never sent back to the gateway as `sms_id`.
    void identifiersThatAreNotNumbersAreNeverAsked()
    {
        Database db;
        db.insert({.recipients = "1", .gatewayId = "99"});
        QList<qint64> odd;
        for (const char *id : {"abc", "4x", "-3", "12,5", "1 2", "99;DROP"})
            odd << db.insert({.recipients = "1", .gatewayId = QString::fromLatin1(id)});
        const PendingReport p = findPendingReports(db.connection, ana, minutes);
        QCOMPARE(p.status, PendingReport::Status::Ready);
        QCOMPARE(p.ids, QStringList{"99"});
        QCOMPARE(fieldValue(p.request, "sms_id"), QStringLiteral("99"));
        for (const qint64 sid : std::as_const(odd))
            QVERIFY(!buildSendReportRequest(db.connection, ana, QStringLiteral("Fecha %1").arg(sid)).has_value());
        QVERIFY(isGatewayId(QStringLiteral(" 123 ")));
        QVERIFY(!isGatewayId(QStringLiteral("1234567890123456789")));   // longer than any gateway number
    }

    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("estado");
        QTest::newRow("final") << "1|77|34600123456,34638654321|0" << true << "77" << "1|34600123456,34638654321|0";
        QTest::newRow("cr") << "0|77|34600123456|0\r" << true << "77" << "0|34600123456|0";
        QTest::newRow("unknown send") << "5|77" << true << "77" << "5|0|0";
        QTest::newRow("missing lists") << "0|77|" << true << "77" << "0|0|0";
        QTest::newRow("extra field") << "0|77|1|2|x" << true << "77" << "0|1|2";
        QTest::newRow("empty") << "" << false << "" << "";
        QTest::newRow("one field") << "0" << false << "" << "";
        QTest::newRow("no id") << "0||1|2" << false << "" << "";
        QTest::newRow("junk list") << "0|77|abc|0" << false << "" << "";
        QTest::newRow("quote") << "0|7'7|1|0" << true << "7'7" << "0|1|0";
        QTest::newRow("blanks around the code") << " 1 |77|3|0" << true << "77" << "1|3|0";
        QTest::newRow("two-digit code") << "10|77|3|0" << false << "" << "";
        QTest::newRow("word for a code") << "OK|77|3|0" << false << "" << "";
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(bool, valid);
        const std::optional<StateLine> l = parseStateLine(line);
        QCOMPARE(l.has_value(), valid);
        if (l) {
            QTEST(l->id, "id");
            QTEST(l->storedState(), "estado");
        }
    }

    void replies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("state77");    // "<gone>" when deleted
        QTest::addColumn<QString>("state78");
        QTest::addColumn<qint64>("rows");
        const int applied = int(ReportOutcome::Status::Applied);
        QTest::newRow("code 0") << "0|77|34600123456|0" << applied << true << "0|34600123456|0" << "0|0|0" << qint64(5);
        QTest::newRow("code 1, lf only") << "1|77|34600123456|34600123457\n1|78|1|0\n" << applied << true
                                         << "1|34600123456|34600123457" << "1|1|0" << qint64(5);
        QTest::newRow("unchanged") << "0|77|0|0\r\n" << applied << false << "0|0|0" << "0|0|0" << qint64(5);
        QTest::newRow("changed then unchanged") << "0|77|1|0\r\n0|78|0|0\r\n" << applied << true << "0|1|0" << "0|0|0"
                                                << qint64(5);
        QTest::newRow("code 5") << "5|77|0|0" << applied << true << "<gone>" << "0|0|0" << qint64(4);
        QTest::newRow("code 5 for another account's send") << "5|79" << applied << false << "0|0|0" << "0|0|0" << qint64(5);
        QTest::newRow("unknown id") << "0|999|1|0\r\n5|998" << applied << false << "0|0|0" << "0|0|0" << qint64(5);
        // The gateway names a send this request did not ask about: its row is not this reply's.
        QTest::newRow("send not asked about") << "1|80|1|0\r\n5|80" << applied << false << "0|0|0" << "0|0|0"
                                              << qint64(5);
        QTest::newRow("other code and junk") << "3|Authentication failure|\r\n|\r\n7|77|1|0\r\nxx|yy" << applied << false
                                             << "0|0|0" << "0|0|0" << qint64(5);
        QTest::newRow("bad list") << "0|77|12;DROP TABLE Historial|0" << applied << false << "0|0|0" << "0|0|0" << qint64(5);
        QTest::newRow("empty page") << "" << int(ReportOutcome::Status::ConnectionError) << false << "0|0|0" << "0|0|0"
                                    << qint64(5);
        QTest::newRow("error page") << "<html>Not found</html>" << int(ReportOutcome::Status::ConnectionError) << false
                                    << "0|0|0" << "0|0|0" << qint64(5);
    }
    void replies()
    {
        QFETCH(QString, reply);
        QFETCH(int, status);
        Database db;
        // An older send, delivered and charged, that carries the number the gateway has since given
        // to a new one: no report about the new send is its report.
        const qint64 older = db.insert(
            {.recipients = "34600123456", .sentAt = "2024-04-01 09:00", .gatewayId = "77", .state = "1|34600123456|0",
             .username = "ana"});
        const qint64 sid77 = db.insert({.recipients = "34600123456,34600123457", .gatewayId = "77", .username = "ana"});
        const qint64 sid78 = db.insert({.recipients = "1", .gatewayId = "78"});
        const qint64 sid79 = db.insert({.recipients = "1", .gatewayId = "79", .username = "luis"});
        db.insert({.recipients = "1", .gatewayId = "80", .username = "ana"});
        const ReportedRows asked{{{"77", sid77}, {"78", sid78}, {"79", sid79}}, false};
        const ReportOutcome out = recordReportReply(db.connection, reply, ana, asked);
        QCOMPARE(int(out.status), status);
        QTEST(out.changed, "changed");
        QCOMPARE(out.message.isEmpty(), status == int(ReportOutcome::Status::Applied));
        const QString s77 = db.count("sid=?", {sid77}) ? stateOfRow(db, sid77) : QStringLiteral("<gone>");
        QTEST(s77, "state77");
        QTEST(db.stateOf("78"), "state78");
        QCOMPARE(stateOfRow(db, older), QStringLiteral("1|34600123456|0"));
        QCOMPARE(db.stateOf("80"), QStringLiteral("0|0|0"));
        QTEST(db.count(), "rows");
    }

    // The automatic refresh asks for reports that are not final; its reply changes only the rows it
    // asked about, and only while each is still not final.
    void automaticRefreshActsOnTheRowsAsked_data()
    {
        QTest::addColumn<QString>("olderState");   // an older row with the same number; "" for none
        QTest::addColumn<QString>("since");        // the asked row's state set before the reply; "" to leave it
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("asked");        // the asked row's state after the reply; "<gone>" when deleted
        QTest::addColumn<QString>("older");
        QTest::newRow("report") << "" << "" << "1|77|1|0" << "1|1|0" << "";
        QTest::newRow("settled by another reply since") << "" << "1|1|0" << "0|77|0|0" << "1|1|0" << "";
        QTest::newRow("unknown after it was settled") << "" << "1|1|0" << "5|77" << "1|1|0" << "";
        QTest::newRow("older delivered send, same number") << "1|1|0" << "" << "0|77|0|1" << "0|0|1" << "1|1|0";
        QTest::newRow("older pending send, same number") << "0|0|0" << "" << "1|77|1|0" << "1|1|0" << "0|0|0";
        QTest::newRow("unknown, older pending send") << "0|0|0" << "" << "5|77" << "<gone>" << "0|0|0";
    }
    void automaticRefreshActsOnTheRowsAsked()
    {
        QFETCH(QString, olderState);
        QFETCH(QString, since);
        QFETCH(QString, reply);
        Database db;
        const qint64 older = olderState.isEmpty()
            ? 0
            : db.insert({.recipients = "1", .sentAt = "2024-04-01 09:00", .gatewayId = "77", .state = olderState});
        const qint64 asked = db.insert({.recipients = "1", .gatewayId = "77"});
        const PendingReport p = findPendingReports(db.connection, ana, minutes);
        QCOMPARE(p.ids.first(), QStringLiteral("77"));
        QCOMPARE(p.rows.sidById.value("77"), asked);
        QVERIFY(p.rows.unsettledOnly);
        if (!since.isEmpty())
            QVERIFY(db.connection.execute("UPDATE Historial SET estado=? WHERE sid=?", {since, asked}).ok());
        const ReportOutcome out = recordReportReply(db.connection, reply, ana, p.rows);
        QCOMPARE(out.status, ReportOutcome::Status::Applied);
        QTEST(db.count("sid=?", {asked}) ? stateOfRow(db, asked) : QStringLiteral("<gone>"), "asked");
        QTEST(older ? stateOfRow(db, older) : QString(), "older");
    }

    void largeRepliesAreReadWhereTheyLie()
    {
        Database db;
        db.insert({.recipients = "1", .gatewayId = "77", .username = "ana"});
        // One line of nothing but separators, then a good line: neither is taken apart into a
        // list of its pieces.
        constexpr qsizetype kSize = 32 * 1024 * 1024;
        const QString reply = QString(kSize, QLatin1Char('|')) + QStringLiteral("\r\n1|77|1|0");
        const testing::PeakGrowth growth;
        const ReportOutcome out = recordReportReply(db.connection, reply, ana, findPendingReports(db.connection, ana, minutes).rows);
        QCOMPARE(int(out.status), int(ReportOutcome::Status::Applied));
        QCOMPARE(out.skipped, 1);
        QCOMPARE(out.updated, 1);
        QCOMPARE(db.stateOf("77"), QStringLiteral("1|1|0"));
        if (growth.supported())
            QVERIFY2(growth.bytes() < kSize, qPrintable(QString::number(growth.bytes() / (1024 * 1024)) + " MiB"));

        net::GatewayReply tooLarge;
        tooLarge.status = net::GatewayReply::Status::TooLarge;
        const ReportOutcome refused = recordReportReply(db.connection, tooLarge, ana, {});
        QCOMPARE(int(refused.status), int(ReportOutcome::Status::TooLarge));
        QCOMPARE(refused.message, kReportTooLargeMessage);
        QVERIFY(refused.message.contains(QStringLiteral("demasiado grandes")));
    }

    // A number stored with blanks around it is asked about trimmed; its report lands on it.
    void blanksAroundTheNumberStillTakeTheReport()
    {
        Database db;
        db.insert({.recipients = "34600123456", .gatewayId = " 213 ", .username = "ana"});
        db.insert({.recipients = "34600123457", .gatewayId = "214 ", .username = "ana"});
        db.insert({.recipients = "1", .gatewayId = "2130", .username = "ana"});
        const PendingReport p = findPendingReports(db.connection, ana, minutes);
        QVERIFY(p.ids.contains(QStringLiteral("213")));
        const ReportOutcome out = recordReportReply(db.connection, "0|213|34600123456|0\r\n5|214", ana, p.rows);
        QCOMPARE(out.updated, 1);
        QCOMPARE(out.deleted, 1);
        QCOMPARE(db.connection.scalar("SELECT estado FROM Historial WHERE id_web=' 213 '").toString(),
                 QStringLiteral("0|34600123456|0"));
        QCOMPARE(db.count(), qint64(2));
        QCOMPARE(db.stateOf("2130"), QStringLiteral("0|0|0"));
    }

    void connectionErrorText()
    {
        Database db;
        QCOMPARE(recordReportReply(db.connection, "sin barras", ana, {}).message, QStringLiteral("Error de conexion"));
    }
};

QTEST_GUILESS_MAIN(TestDeliveryReports)
#include "test_delivery_reports.moc"
