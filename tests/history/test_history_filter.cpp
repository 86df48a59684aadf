#include "history/history_filter.h"
#include "history/history_view.h"
#include "history/send_time.h"
#include "history_fixture.h"

#include <QTest>

using namespace history;
using historytest::Database;

class TestHistoryFilter final : public QObject {
    Q_OBJECT

    const QString now = nowStamp(historytest::fixedNow());

    static qint64 rowsOf(Database &db, const FilterPanel &panel, ViewKind kind = ViewKind::All)
    {
        ViewOptions o;
        o.kind = kind;
        o.filtering = true;
        o.filter = buildHistoryFilter(panel).condition;
        const HistoryPage p = buildHistoryPage(db.connection, o, nowStamp(historytest::fixedNow()));
        return p.status == HistoryPage::Status::Ok ? p.rowCount : -1;
    }

private Q_SLOTS:
    void phoneAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("nine digits") << "600000001" << "34600000001";
        QTest::newRow("in groups") << "600 000 001" << "600000001";
        QTest::newRow("plus") << "+34 600000001" << "34600000001";
        QTest::newRow("double zero") << "0034600000001" << "34600000001";
        QTest::newRow("short") << "0123" << "123";
        QTest::newRow("only zeros") << "000" << "";
    }
    void phoneAsTyped()
    {
        QFETCH(QString, typed);
        FilterPanel panel;
        panel.byPhone = true;
        panel.phone = typed;
        QTEST(buildHistoryFilter(panel).phone, "shown");
    }

    void nothingTickedGivesNoCondition()
    {
        FilterPanel panel;
        panel.byText = true;   // with an empty text
        QVERIFY(buildHistoryFilter(panel).condition.isEmpty());
    }

    void conditionShape()
    {
        FilterPanel panel;
        panel.byDate = true;
        panel.byText = true;
        panel.text = "hola";
        const Condition c = buildHistoryFilter(panel).condition;
        QCOMPARE(c.sql, QStringLiteral(" (f_envio>=? AND f_envio<=?) AND mensaje LIKE '%' || ? || '%'"));
        QCOMPARE(c.values, (QVariantList{"2000-01-01 00:00:00", "2050-01-01 24:00:00", "hola"}));
    }

    // Against the seeded history: sid % 6 decides the kind, f_envio is 2024-05-(1 + sid % 9),
    // odd sids say "Cita", even "Oferta"; send 12's number is 34600001201.
    void onSeededHistory_data()
    {
        QTest::addColumn<bool>("dates");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("view");
        QTest::addColumn<qint64>("rows");
        const int all = int(ViewKind::All);
        QTest::newRow("default dates") << true << "2000-01-01" << "2050-01-01" << "" << "" << all << qint64(100);
        // Day 1 + sid % 9 = 5 for sid % 9 == 4: 4, 13, ... 94 (11 sends); the last day is included whole.
        QTest::newRow("one day") << true << "2024-05-05" << "2024-05-05" << "" << "" << all << qint64(11);
        QTest::newRow("phone member") << false << "" << "" << "34600001201" << "" << all << qint64(1);
        QTest::newRow("phone nine digits") << false << "" << "" << "600001201" << "" << all << qint64(1);
        QTest::newRow("phone blanks") << false << "" << "" << "600 001 201" << "" << all << qint64(1);
        QTest::newRow("phone plus") << false << "" << "" << "+34 600 001 201" << "" << all << qint64(1);
        QTest::newRow("phone 00") << false << "" << "" << "0034600001201" << "" << all << qint64(1);
        QTest::newRow("phone not a prefix") << false << "" << "" << "346000012" << "" << all << qint64(0);
        QTest::newRow("phone short anywhere") << false << "" << "" << "9902" << "" << all << qint64(1);
        QTest::newRow("text") << false << "" << "" << "" << "cita" << all << qint64(50);
        QTest::newRow("text wildcard") << false << "" << "" << "" << "Ofert_ 1_" << all << qint64(6);
        QTest::newRow("text brackets") << false << "" << "" << "" << "a[1]" << all << qint64(0);
        QTest::newRow("text quote") << false << "" << "" << "" << "O'Donnell" << all << qint64(0);
        QTest::newRow("dates and text") << true << "2024-05-05" << "2024-05-05" << "" << "Cita" << all << qint64(5);
        // Send 13: f_envio 2024-05-05, partly delivered to 34600001301..03.
        QTest::newRow("dates and phone") << true << "2024-05-05" << "2024-05-05" << "600001302" << "" << all << qint64(1);
        QTest::newRow("dates and phone elsewhere") << true << "2024-05-06" << "2024-05-09" << "600001302" << "" << all
                                                   << qint64(0);
        QTest::newRow("phone and text") << false << "" << "" << "34600001303" << "Cita 13" << all << qint64(1);
        QTest::newRow("phone and other text") << false << "" << "" << "34600001303" << "Oferta" << all << qint64(0);
        QTest::newRow("all three, sent") << true << "2024-05-05" << "2024-05-05" << "+34 600 001 301" << "cita"
                                         << int(ViewKind::Sent) << qint64(1);
        QTest::newRow("all three, scheduled") << true << "2024-05-05" << "2024-05-05" << "+34 600 001 301" << "cita"
                                              << int(ViewKind::Scheduled) << qint64(0);
        QTest::newRow("sent and text") << false << "" << "" << "" << "Cita" << int(ViewKind::Sent) << qint64(33);
        QTest::newRow("scheduled and text") << false << "" << "" << "" << "Cita" << int(ViewKind::Scheduled) << qint64(17);
        QTest::newRow("scheduled and phone") << false << "" << "" << "34600000902" << "" << int(ViewKind::Scheduled) << qint64(1);
        QTest::newRow("sent and phone of a scheduled send") << false << "" << "" << "34600000902" << ""
                                                            << int(ViewKind::Sent) << qint64(0);
    }
    void onSeededHistory()
    {
        QFETCH(bool, dates);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, phone);
        QFETCH(QString, text);
        QFETCH(int, view);
        Database db;
        db.seedHundred();
        FilterPanel panel;
        panel.byDate = dates;
        if (dates) {
            panel.fromDate = from;
            panel.toDate = to;
        }
        panel.byPhone = !phone.isEmpty();
        panel.phone = phone;
        panel.byText = !text.isEmpty();
        panel.text = text;
        QTEST(rowsOf(db, panel, ViewKind(view)), "rows");
    }

    // Under a filter the bulk items follow the sends the filter leaves in the view.
    void bulkItemsUnderAFilter_data()
    {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("view");
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<bool>("cancelAll");
        QTest::addColumn<bool>("deleteAll");
        const int all = int(ViewKind::All);
        QTest::newRow("no future send") << "" << "Oferta" << all << qint64(50) << false << true;
        QTest::newRow("both kinds") << "" << "Cita 9" << all << qint64(6) << true << true;
        QTest::newRow("only a future send") << "34600009901" << "" << all << qint64(1) << true << false;
        QTest::newRow("only a send already made") << "34600009801" << "" << all << qint64(1) << false << true;
        QTest::newRow("sent, both kinds in the filter") << "" << "Cita 9" << int(ViewKind::Sent) << qint64(3) << false
                                                        << true;
        QTest::newRow("scheduled, both kinds in the filter") << "" << "Cita 9" << int(ViewKind::Scheduled) << qint64(3)
                                                             << true << false;
        QTest::newRow("nothing") << "" << "zzz" << all << qint64(0) << false << false;
    }
    void bulkItemsUnderAFilter()
    {
        QFETCH(QString, phone);
        QFETCH(QString, text);
        QFETCH(int, view);
        Database db;
        db.seedHundred();
        FilterPanel panel;
        panel.byPhone = !phone.isEmpty();
        panel.phone = phone;
        panel.byText = !text.isEmpty();
        panel.text = text;
        ViewOptions o;
        o.kind = ViewKind(view);
        o.filtering = true;
        o.filter = buildHistoryFilter(panel).condition;
        const HistoryPage p = buildHistoryPage(db.connection, o, now);
        QCOMPARE(p.status, HistoryPage::Status::Ok);
        QTEST(p.rowCount, "rows");
        QTEST(p.canCancelAll, "cancelAll");
        QTEST(p.canDeleteAllSent, "deleteAll");
    }

    // The database refuses LIKE patterns past 50,000 bytes; a text that long (the box takes
    // 32,767 characters, three bytes each for "€") is still looked for, and gives no error.
    void longTextsAreLookedForWithoutAnError_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("17,000 euro signs, 51,000 bytes") << QStringLiteral("€").repeated(17000);
        QTest::newRow("the box's whole length") << QStringLiteral("€").repeated(32767);
        QTest::newRow("long plain text") << QStringLiteral("hola ").repeated(6000);
    }
    void longTextsAreLookedForWithoutAnError()
    {
        QFETCH(QString, text);
        Database db;
        db.insert({.recipients = "1", .message = QStringLiteral("«") + text + QStringLiteral("»")});
        db.insert({.recipients = "2", .message = QStringLiteral("«") + text.left(text.size() - 1) + QStringLiteral("»")});
        db.insert({.recipients = "3", .message = "nada"});
        FilterPanel panel;
        panel.byText = true;
        panel.text = text;
        QCOMPARE(rowsOf(db, panel), qint64(1));
        // Letters compare without case, as the short texts do.
        panel.text = text.toUpper();
        QCOMPARE(rowsOf(db, panel), qint64(1));
    }

    void phoneFoundInEitherStoredForm()
    {
        Database db;
        db.insert({.recipients = "34611111111,600123456"});
        db.insert({.recipients = "34600123456"});
        db.insert({.recipients = "6001234567"});
        FilterPanel panel;
        panel.byPhone = true;
        for (const char *typed : {"600123456", "600 123 456", "+34600123456", "34 600 123 456"}) {
            panel.phone = QString::fromUtf8(typed);
            QCOMPARE(rowsOf(db, panel), qint64(2));
        }
    }

    void filterKeptWhileUnticked()
    {
        Database db;
        db.seedHundred();
        FilterPanel panel;
        panel.byText = true;
        panel.text = "Cita";
        ViewOptions o;
        o.filter = buildHistoryFilter(panel).condition;
        o.filtering = false;
        QCOMPARE(buildHistoryPage(db.connection, o, now).rowCount, qint64(100));
        o.filtering = true;
        QCOMPARE(buildHistoryPage(db.connection, o, now).rowCount, qint64(50));
    }
};

QTEST_GUILESS_MAIN(TestHistoryFilter)
#include "test_history_filter.moc"
