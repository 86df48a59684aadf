#include "history/contact_names.h"
#include "history/delivery_state.h"
#include "history/history_view.h"
#include "history/send_time.h"
#include "history_fixture.h"

#include <QTest>

using namespace history;
using historytest::Database;
using historytest::Send;

class TestHistoryView final : public QObject {
    Q_OBJECT

    const QString now = nowStamp(historytest::fixedNow());

    static const HistoryNode *find(const HistoryPage &p, const QString &key)
    {
        for (const HistoryNode &n : p.nodes) {
            if (n.key == key)
                return &n;
        }
        return nullptr;
    }
    static int sends(const HistoryPage &p)
    {
        return int(std::count_if(p.nodes.begin(), p.nodes.end(), [](const HistoryNode &n) { return n.parentKey.isEmpty(); }));
    }

private Q_SLOTS:
    void breakdown_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("new send") << "0|0|0" << "34600000001" << QStringList{"", "", "34600000001", "0", "0", "1", "1"};
        QTest::newRow("partly") << "0|34600000001|0" << "34600000001,34600000002,34600000003"
                                << QStringList{"34600000001", "", "34600000002,34600000003", "1", "0", "2", "3"};
        QTest::newRow("failed") << "1|0|2,3" << "1,2,3" << QStringList{"", "2,3", "1", "0", "2", "1", "3"};
        QTest::newRow("blanks in list") << "0|0|0" << "1, 2 ,3" << QStringList{"", "", "1,2,3", "0", "0", "3", "3"};
        QTest::newRow("empty recipients") << "0|0|0" << "" << QStringList{"", "", "", "0", "0", "0", "0"};
        QTest::newRow("null state") << "" << "1,2" << QStringList{"", "", "1,2", "0", "0", "2", "2"};
        QTest::newRow("no second bar") << "1|5" << "5,6" << QStringList{"5", "", "6", "1", "0", "1", "2"};
        QTest::newRow("flag only") << "1|" << "5" << QStringList{"", "", "5", "0", "0", "1", "1"};
        QTest::newRow("whole member only") << "0|123|0" << "1234,123" << QStringList{"123", "", "1234", "1", "0", "1", "2"};
    }
    void breakdown()
    {
        QFETCH(QString, state);
        QFETCH(QString, recipients);
        QFETCH(QStringList, texts);
        QCOMPARE(parseDeliveryState(state, recipients).texts(), texts);
    }

    void colours_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("colour");
        QTest::addColumn<int>("pending");
        const QString ten = "1,2,3,4,5,6,7,8,9,10";
        const QString nineteen = ten + ",11,12,13,14,15,16,17,18,19";
        QTest::newRow("all confirmed") << "1|1,2,3|0" << "1,2,3" << "2024-05-01 10:00" << int(Colour::Green) << int(Colour::Orange);
        QTest::newRow("empty recipients") << "0|0|0" << "" << "2030-01-01 10:00" << int(Colour::Green) << int(Colour::Green);
        QTest::newRow("10 failed 9 confirmed") << "1|11,12,13,14,15,16,17,18,19|" + ten << nineteen << "2024-05-01 10:00"
                                               << int(Colour::Red) << int(Colour::Orange);
        QTest::newRow("past pending") << "0|0|0" << "1" << "2024-05-10 11:59" << int(Colour::Orange) << int(Colour::Orange);
        QTest::newRow("future") << "0|0|0" << "1" << "2024-05-10 12:30" << int(Colour::Grey) << int(Colour::Grey);
        // "2024-05-10 12:00" sorts before "2024-05-10 12:00:00": the current minute is not ahead.
        QTest::newRow("current minute") << "0|0|0" << "1" << "2024-05-10 12:00" << int(Colour::Orange) << int(Colour::Orange);
    }
    void colours()
    {
        QFETCH(QString, state);
        QFETCH(QString, recipients);
        QFETCH(QString, time);
        QFETCH(int, colour);
        QFETCH(int, pending);
        const Breakdown d = parseDeliveryState(state, recipients);
        const Colour c = stateColour(d, time, now);
        QCOMPARE(int(c), colour);
        QCOMPARE(int(pendingColour(c, time, now)), pending);
    }

    void vbColoursAreBlueGreenRed()
    {
        QCOMPARE(vbColour(Colour::Red), 255);
        QCOMPARE(vbColour(Colour::Green), 65280);
        QCOMPARE(vbColour(Colour::Grey), 200 + 200 * 256 + 200 * 65536);
        QCOMPARE(vbColour(Colour::Orange), 255 + 204 * 256 + 119 * 65536);
        QCOMPARE(rgb(Colour::Red), qRgb(255, 0, 0));
    }

    void emptyHistory()
    {
        Database db;
        const HistoryPage p = buildHistoryPage(db.connection, {}, now);
        QCOMPARE(p.status, HistoryPage::Status::Ok);
        QCOMPARE(p.nodes.size(), std::size_t(1));
        QCOMPARE(p.nodes.front().key, QStringLiteral("l0"));
        QCOMPARE(p.nodes.front().text, QStringLiteral("Sin registros"));
        QCOMPARE(p.label, QStringLiteral("Página 1 de 1"));
        QVERIFY(!p.canCancelAll && !p.canDeleteAllSent);
    }

    void paging_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<qint64>("asked");
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<qint64>("page");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("cancelAll");
        QTest::addColumn<bool>("deleteAll");
        QTest::newRow("todos p1") << int(ViewKind::All) << qint64(0) << qint64(100) << qint64(0) << 30 << "pMensaje 100"
                                  << "Página 1 de 4" << true << true;
        QTest::newRow("todos last") << int(ViewKind::All) << qint64(3) << qint64(100) << qint64(3) << 10 << "pMensaje 10"
                                    << "Página 4 de 4" << true << true;
        QTest::newRow("todos shrunk") << int(ViewKind::All) << qint64(9) << qint64(100) << qint64(3) << 10 << "pMensaje 10"
                                      << "Página 4 de 4" << true << true;
        QTest::newRow("enviados") << int(ViewKind::Sent) << qint64(0) << qint64(83) << qint64(0) << 30 << "pMensaje 100"
                                  << "Página 1 de 3" << false << true;
        QTest::newRow("programados") << int(ViewKind::Scheduled) << qint64(0) << qint64(17) << qint64(0) << 17
                                     << "pMensaje 99" << "Página 1 de 1" << true << false;
    }
    void paging()
    {
        QFETCH(int, view);
        QFETCH(qint64, asked);
        Database db;
        db.seedHundred();
        ViewOptions o;
        o.kind = ViewKind(view);
        o.page = asked;
        const HistoryPage p = buildHistoryPage(db.connection, o, now);
        QCOMPARE(p.status, HistoryPage::Status::Ok);
        QTEST(p.rowCount, "rows");
        QTEST(p.page, "page");
        QTEST(sends(p), "shown");
        QTEST(p.nodes.front().key, "first");
        QTEST(p.label, "label");
        QTEST(p.canCancelAll, "cancelAll");
        QTEST(p.canDeleteAllSent, "deleteAll");
        const qint64 firstN = p.page * 30 + 1;
        QVERIFY(p.nodes.front().text.startsWith(QStringLiteral("Mensaje %1 (").arg(firstN)));
    }

    // The views without the filter are counted apart from their conditions: the figures must be
    // the same for any stored send time, odd ones and missing ones included.
    void viewCountsMatchTheirConditions()
    {
        Database db;
        db.seedHundred();
        for (const char *t : {"2024-05-10 12:00", "2024-05-10 12:01", "2024/05/11 12:30", "", "inmediato", "Mañana", "9999"})
            db.insert({.recipients = "1", .scheduledFor = QString::fromUtf8(t)});
        QVERIFY(db.connection.execute(QStringLiteral("INSERT INTO Historial (sid, destinatario) VALUES (500, '1')")).ok());
        for (ViewKind v : {ViewKind::All, ViewKind::Sent, ViewKind::Scheduled}) {
            ViewOptions o;
            o.kind = v;
            const HistoryPage p = buildHistoryPage(db.connection, o, now);
            const Condition c = viewCondition(v, now);
            const qint64 expected =
                db.connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Historial") + whereClause(c), c.values).toLongLong();
            QCOMPARE(p.rowCount, expected);
        }
        // 100 seeded + 8 added: 17 + 5 in the future ("12:01", the slashes, "inmediato", "Mañana", "9999").
        ViewOptions o;
        o.kind = ViewKind::Scheduled;
        QCOMPARE(buildHistoryPage(db.connection, o, now).rowCount, qint64(22));
        o.kind = ViewKind::Sent;
        QCOMPARE(buildHistoryPage(db.connection, o, now).rowCount, qint64(85));
    }

    void thirtyOneSends()
    {
        Database db;
        for (int i = 0; i < 31; ++i)
            db.insert({.recipients = "34600000001"});
        ViewOptions o;
        o.page = 1;
        const HistoryPage p = buildHistoryPage(db.connection, o, now);
        QCOMPARE(sends(p), 1);
        QCOMPARE(p.nodes.front().text, QStringLiteral("Mensaje 31 (2024-05-01 09:00) - 34600000001"));
        QCOMPARE(p.label, QStringLiteral("Página 2 de 2"));
    }

    void nodesOfOneSend()
    {
        Database db;
        const qint64 sid = db.insert({.recipients = "34600000001,34600000002,34600000003",
                                      .sentAt = "2024-05-02 08:15",
                                      .message = "Texto",
                                      .state = "0|34600000001|34600000002"});
        const HistoryPage p = buildHistoryPage(db.connection, {}, now);
        const QString s = QString::number(sid);
        QStringList keys;
        for (const HistoryNode &n : p.nodes)
            keys << n.key;
        QCOMPARE(keys, (QStringList{"pMensaje " + s, "pRecibidos " + s, "Recibidos " + s, "pFallidos " + s, "Fallidos " + s,
                                    "pPendientes " + s, "Pendientes " + s, "pFecha " + s, "Fecha " + s, "pTexto " + s,
                                    "Texto " + s}));
        QCOMPARE(p.nodes[0].text, QStringLiteral("Mensaje 1 (2024-05-02 08:15)"));
        QCOMPARE(p.nodes[0].image, 10);
        QCOMPARE(p.nodes[0].colour, Colour::Orange);
        QCOMPARE(p.nodes[1].text, QStringLiteral("Destinatarios confirmados: (1/3)"));
        QCOMPARE(p.nodes[1].image, 7);
        QCOMPARE(p.nodes[1].colour, Colour::Green);
        QCOMPARE(p.nodes[2].parentKey, "pRecibidos " + s);
        QCOMPARE(p.nodes[3].colour, Colour::Red);
        QCOMPARE(p.nodes[5].text, QStringLiteral("Destinatarios sin confirmación: (1/3)"));
        QCOMPARE(p.nodes[6].text, QStringLiteral("34600000003"));
        QCOMPARE(p.nodes[7].text, QStringLiteral("Fecha de envío"));
        QCOMPARE(p.nodes[8].text, QStringLiteral("2024-05-02 08:15"));
        QCOMPARE(p.nodes[8].image, 5);
        QCOMPARE(p.nodes[10].text, QStringLiteral("Texto"));
    }

    void allConfirmedIsGreenWithOneClass()
    {
        Database db;
        db.insert({.recipients = "1,2,3", .state = "1|1,2,3|0"});
        const HistoryPage p = buildHistoryPage(db.connection, {}, now);
        QCOMPARE(p.nodes.size(), std::size_t(7));
        QCOMPARE(p.nodes[1].text, QStringLiteral("Destinatarios confirmados: (3/3)"));
        QCOMPARE(p.nodes[1].image, 6);
        QCOMPARE(p.nodes[2].text, QStringLiteral("1, 2, 3"));
        QCOMPARE(p.nodes[0].colour, Colour::Green);
    }

    void futureSendIsGreyAndEnablesCancelAll()
    {
        Database db;
        db.insert({.recipients = "34600000001", .scheduledFor = "2024-05-10 12:30"});
        const HistoryPage p = buildHistoryPage(db.connection, {}, now);
        QCOMPARE(p.nodes[0].text, QStringLiteral("Mensaje 1 (2024-05-10 12:30) - 34600000001"));
        QCOMPARE(p.nodes[0].colour, Colour::Grey);
        QCOMPARE(p.nodes[2].colour, Colour::Grey);
        QVERIFY(p.canCancelAll);
        QVERIFY(!p.canDeleteAllSent);
    }

    void nullFieldsNeverCrash()
    {
        Database db;
        db.connection.execute(QStringLiteral("INSERT INTO Historial (sid) VALUES (7)"));
        db.connection.execute(QStringLiteral("INSERT INTO Historial (sid, destinatario, estado) VALUES (8, '1,2', NULL)"));
        ViewOptions o;
        o.showNames = true;
        for (ViewKind v : {ViewKind::All, ViewKind::Sent, ViewKind::Scheduled}) {
            o.kind = v;
            const HistoryPage p = buildHistoryPage(db.connection, o, now);
            QCOMPARE(p.status, HistoryPage::Status::Ok);
        }
        o.kind = ViewKind::All;
        const HistoryPage p = buildHistoryPage(db.connection, o, now);
        QCOMPARE(p.rowCount, qint64(2));
        QCOMPARE(p.nodes.front().text, QStringLiteral("Mensaje 1 ()"));
        QCOMPARE(rowMenu(db.connection, "pMensaje 7", now).status, RowMenu::Status::Ok);
    }

    void namesOnAndOff()
    {
        Database db;
        db.addContact("Ana", "34600000001");
        db.addContact("Otra Ana", "34600000001");   // the first contact with the number wins
        db.connection.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono) VALUES (NULL, '34600000009')"));
        db.insert({.recipients = "34600000001,34600000002,34600000009", .state = "0|34600000001,34600000002|0"});
        db.insert({.recipients = "34600000001"});

        ViewOptions o;
        HistoryPage p = buildHistoryPage(db.connection, o, now);
        QCOMPARE(find(p, "Recibidos 1")->text, QStringLiteral("34600000001, 34600000002"));
        QCOMPARE(find(p, "pMensaje 2")->text, QStringLiteral("Mensaje 1 (2024-05-01 09:00) - 34600000001"));

        o.showNames = true;
        p = buildHistoryPage(db.connection, o, now);
        QCOMPARE(find(p, "Recibidos 1")->text, QStringLiteral("Ana,  34600000002"));
        QCOMPARE(find(p, "Pendientes 1")->text, QStringLiteral("34600000009"));
        QCOMPARE(find(p, "pRecibidos 1")->text, QStringLiteral("Destinatarios confirmados: (2/3)"));
        QCOMPARE(find(p, "pMensaje 2")->text, QStringLiteral("Mensaje 1 (2024-05-01 09:00) - Ana"));
    }

    void nameListCut()
    {
        QString list;
        for (int i = 0; i < 200; ++i)
            list += (i ? "," : "") + QStringLiteral("346%1").arg(i, 8, 10, QLatin1Char('0'));
        const QString cut = cutForNames(list);
        QVERIFY(cut.size() >= 1000 && cut.size() < 1012);
        QVERIFY(list.startsWith(cut + ","));
        const QString noComma(1500, QLatin1Char('1'));
        QCOMPARE(cutForNames(noComma), noComma);

        Database db;
        db.addContact("Ana", "34600000000");
        QString caller = list;
        const QString names = namesForList(db.connection, caller);
        QCOMPARE(caller, cut);
        QVERIFY(names.startsWith(QStringLiteral("Ana, 34600000001, ")));
    }

    void pageOffsetsBeyondSixteenBits()
    {
        Database db;
        QVERIFY(db.connection
                    .execute(QStringLiteral(
                        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 33000) "
                        "INSERT INTO Historial (destinatario, f_envio, f_programada, estado) "
                        "SELECT '34600000001', '2024-05-01 09:00', 'Inmediato', '0|0|0' FROM c"))
                    .ok());
        ViewOptions o;
        o.page = 1099;   // offset 32,970 + 30 > 32,767
        const HistoryPage p = buildHistoryPage(db.connection, o, now);
        QCOMPARE(p.lastPage, qint64(1099));
        QCOMPARE(p.page, qint64(1099));
        QCOMPARE(sends(p), 30);
        QVERIFY(p.nodes.front().text.startsWith(QStringLiteral("Mensaje 32971 (")));
        QCOMPARE(p.label, QStringLiteral("Página 1100 de 1100"));
    }

    void nodeKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<qint64>("sid");
        QTest::newRow("send") << "pMensaje 42" << qint64(42);
        QTest::newRow("list") << "Recibidos 7" << qint64(7);
        QTest::newRow("empty view") << "l0" << qint64(-1);
        QTest::newRow("no blank") << "pMensaje" << qint64(-1);
        QTest::newRow("junk") << "pMensaje x" << qint64(-1);
    }
    void nodeKeys()
    {
        QFETCH(QString, key);
        QFETCH(qint64, sid);
        QCOMPARE(sidFromKey(key).value_or(-1), sid);
    }

    void rowMenus_data()
    {
        QTest::addColumn<QString>("scheduledFor");
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("select");
        QTest::newRow("future") << "2024-05-10 12:30" << "1" << true << true;
        QTest::newRow("current minute") << "2024-05-10 12:00" << "1" << false << true;
        QTest::newRow("slashes") << "2024/05/11 12:30" << "1" << false << true;
        QTest::newRow("immediate, no recipients") << "Inmediato" << "" << false << false;
    }
    void rowMenus()
    {
        QFETCH(QString, scheduledFor);
        QFETCH(QString, recipient);
        Database db;
        const qint64 sid = db.insert({.recipients = recipient, .scheduledFor = scheduledFor, .state = "0|1|0"});
        const RowMenu m = rowMenu(db.connection, QStringLiteral("Texto %1").arg(sid), now);
        QCOMPARE(m.status, RowMenu::Status::Ok);
        QTEST(m.canCancel, "cancel");
        QCOMPARE(m.canDelete, !m.canCancel);
        QTEST(m.canSelectRecipients, "select");
        QCOMPARE(m.hasConfirmed, m.canSelectRecipients);
        QVERIFY(!m.hasFailed && !m.hasUnconfirmed);
        QCOMPARE(rowMenu(db.connection, "l0", now).status, RowMenu::Status::EmptyView);
        QCOMPARE(rowMenu(db.connection, "pMensaje 999", now).status, RowMenu::Status::NoRow);
    }
};

QTEST_GUILESS_MAIN(TestHistoryView)
#include "test_history_view.moc"
