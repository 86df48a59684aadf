#include "sending/send_time.h"

#include <QTest>

using namespace sending;

class TestSendTime final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void gatewayOffset_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<int>("minutes");
        QTest::newRow("+01:00") << "GMT +01:00" << 0;
        QTest::newRow("+00:00") << "GMT +00:00" << 60;
        QTest::newRow("-05:00") << "GMT -05:00" << 360;
        QTest::newRow("+05:30") << "GMT +05:30" << -270;
        QTest::newRow("+13:00") << "GMT +13:00" << -720;
        QTest::newRow("-12:00") << "GMT -12:00" << 780;
        QTest::newRow("missing") << "" << 0;
        QTest::newRow("garbage") << "Madrid" << 0;
        QTest::newRow("short") << "GMT +1" << 0;
        QTest::newRow("minutes out of range") << "GMT +01:75" << 0;
    }
    void gatewayOffset()
    {
        QFETCH(QString, zone);
        QFETCH(int, minutes);
        QCOMPARE(gatewayOffsetMinutes(zone), minutes);
    }

    void sendTime_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<bool>("appointment");
        QTest::addColumn<QString>("hours");
        QTest::addColumn<QString>("posted");
        QTest::addColumn<QString>("recorded");
        QTest::newRow("+01:00") << "2026-03-10 10:00" << "GMT +01:00" << false << "72" << "2026-03-10 10:00"
                                << "2026-03-10 10:00";
        QTest::newRow("+00:00") << "2026-03-10 10:00" << "GMT +00:00" << false << "" << "2026-03-10 11:00"
                                << "2026-03-10 10:00";
        QTest::newRow("-03:00") << "2026-03-10 10:00" << "GMT -03:00" << false << "" << "2026-03-10 14:00"
                                << "2026-03-10 10:00";
        QTest::newRow("-05:00") << "2026-03-10 10:00" << "GMT -05:00" << false << "" << "2026-03-10 16:00"
                                << "2026-03-10 10:00";
        QTest::newRow("+05:30") << "2026-03-10 10:00" << "GMT +05:30" << false << "" << "2026-03-10 05:30"
                                << "2026-03-10 10:00";
        QTest::newRow("+13:00 goes back a day") << "2026-03-10 10:00" << "GMT +13:00" << false << ""
                                                << "2026-03-09 22:00" << "2026-03-10 10:00";
        QTest::newRow("appointment 72h") << "2026-03-10 10:00" << "GMT +01:00" << true << "72" << "2026-03-07 10:00"
                                         << "2026-03-07 10:00";
        QTest::newRow("appointment and zone") << "2026-03-10 10:00" << "GMT +05:30" << true << "24"
                                              << "2026-03-09 05:30" << "2026-03-09 10:00";
        QTest::newRow("appointment hours empty") << "2026-03-10 10:00" << "GMT +01:00" << true << ""
                                                 << "2026-03-10 10:00" << "2026-03-10 10:00";
        QTest::newRow("appointment hours text") << "2026-03-10 10:00" << "GMT +01:00" << true << "abc"
                                                << "2026-03-10 10:00" << "2026-03-10 10:00";
        // 02:30 does not exist on the local clock in much of Europe that night; the send keeps it.
        QTest::newRow("spring forward") << "2026-03-29 02:30" << "GMT +01:00" << false << "" << "2026-03-29 02:30"
                                        << "2026-03-29 02:30";
        QTest::newRow("spring forward, lead across it") << "2026-03-29 12:00" << "GMT +00:00" << true << "12"
                                                        << "2026-03-29 01:00" << "2026-03-29 00:00";
        QTest::newRow("autumn back") << "2026-10-25 02:30" << "GMT -05:00" << false << "" << "2026-10-25 08:30"
                                     << "2026-10-25 02:30";
        QTest::newRow("immediate") << "Inmediato" << "GMT -05:00" << true << "72" << "Inmediato" << "Inmediato";
    }
    void sendTime()
    {
        QFETCH(QString, local);
        QFETCH(QString, zone);
        QFETCH(bool, appointment);
        QFETCH(QString, hours);
        QFETCH(QString, posted);
        QFETCH(QString, recorded);
        const SendTime time = computeSendTime(local, zone, appointment, hours);
        QCOMPARE(time.gatewayTime, posted);
        QCOMPARE(time.recordedTime, recorded);
        if (local != kImmediate)
            QCOMPARE(time.keywordTime, local);
    }

    void unreadableTimeIsRefused()
    {
        QCOMPARE(computeSendTime(QStringLiteral("10/03/2026 10:00"), {}, false, {}).status, SendTimeStatus::Invalid);
        QCOMPARE(computeSendTime(QStringLiteral("2026-02-30 10:00"), {}, false, {}).status, SendTimeStatus::Invalid);
    }

    void picker_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tomorrow") << QDate(2026, 3, 6) << "09" << "07" << "2026-03-06 09:07";
        QTest::newRow("now") << QDate(2026, 3, 5) << "09" << "07" << "Inmediato";
        QTest::newRow("next minute") << QDate(2026, 3, 5) << "09" << "08" << "2026-03-05 09:08";
        QTest::newRow("past day") << QDate(2026, 3, 1) << "23" << "59" << "Inmediato";
        QTest::newRow("nonexistent local hour") << QDate(2026, 3, 29) << "02" << "30" << "2026-03-29 02:30";
    }
    void picker()
    {
        QFETCH(QDate, day);
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        QFETCH(QString, expected);
        const QDateTime now(QDate(2026, 3, 5), QTime(9, 7, 40), Qt::LocalTime);
        QCOMPARE(pickedSendTime(day, hour, minute, now), expected);
    }

    void timeBoxes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("hour");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("rebuild");
        QTest::newRow("hour 24") << "24" << true << "00" << true;
        QTest::newRow("hour -1") << "-1" << true << "23" << true;
        QTest::newRow("hour 7") << "7" << true << "07" << true;
        QTest::newRow("minute 60") << "60" << false << "00" << true;
        QTest::newRow("minute -1") << "-1" << false << "59" << true;
        QTest::newRow("letters") << "ab" << false << "00" << false;
        QTest::newRow("empty") << "" << true << "00" << false;
        QTest::newRow("decimal") << "1.5" << true << "00" << false;
        QTest::newRow("huge") << "99999999999999999999999" << true << "00" << false;
    }
    void timeBoxes()
    {
        QFETCH(QString, typed);
        QFETCH(bool, hour);
        QFETCH(QString, shown);
        QFETCH(bool, rebuild);
        const TimeBoxResult result = normalizeTimeBox(typed, hour ? TimeBox::Hour : TimeBox::Minute);
        QCOMPARE(result.text, shown);
        QCOMPARE(result.rebuild, rebuild);
    }

    void spinnersWrapWithoutCarry()
    {
        QCOMPARE(spinnerStep(QStringLiteral("00"), -1, TimeBox::Minute), QStringLiteral("59"));
        QCOMPARE(spinnerStep(QStringLiteral("23"), +1, TimeBox::Hour), QStringLiteral("00"));
        QCOMPARE(spinnerStep(QStringLiteral("08"), +1, TimeBox::Hour), QStringLiteral("09"));
    }
};

QTEST_GUILESS_MAIN(TestSendTime)
#include "test_send_time.moc"
