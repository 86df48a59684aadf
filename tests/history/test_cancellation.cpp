#include "history/cancellation.h"
#include "history/delivery_reports.h"
#include "platform/ui/confirmation.h"
#include "history/history_filter.h"
#include "history/history_view.h"
#include "history/row_actions.h"
#include "history/send_time.h"
#include "history_fixture.h"

#include <QTest>

using namespace history;
using historytest::Database;

namespace {

// An input box that answers from a script and then cancels; it remembers what it was shown.
struct ScriptedAsk {
    QStringList answers;
    QStringList defaults;
    QString prompt;
    QString title;
    ui::AskText fn()
    {
        return [this](const QString &p, const QString &t, const QString &d) -> std::optional<QString> {
            prompt = p;
            title = t;
            defaults << d;
            if (answers.isEmpty())
                return std::nullopt;
            return answers.takeFirst();
        };
    }
};

// A gateway that answers each cancel from a table keyed by sms_id and records the requests.
struct FakeGateway {
    QHash<QString, QString> replies;
    bool reachable = true;
    QList<QStringList> requests;
    SyncTransport fn()
    {
        return [this](const QString &path, const QStringList &names, const QStringList &values) -> TransportReply {
            requests << (QStringList{path} + names + values);
            if (!reachable)
                return {};
            return {true, replies.value(values.value(3))};
        };
    }
};

} // namespace

class TestCancellation final : public QObject {
    Q_OBJECT

    const QString now = nowStamp(historytest::fixedNow());
    const Account ana{QStringLiteral("ana"), QStringLiteral("secreto")};

private Q_SLOTS:
    void confirmationRule_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("rule");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("asked");
        const int exact = int(ui::ConfirmationRule::Exact), trimmed = int(ui::ConfirmationRule::Trimmed);
        QTest::newRow("si") << QStringList{"si"} << exact << true << 1;
        QTest::newRow("SI") << QStringList{"SI"} << exact << true << 1;
        QTest::newRow("blank SI asks again, then cancel") << QStringList{" SI"} << exact << false << 2;
        QTest::newRow("blank SI asks again, then si") << QStringList{" SI", "si"} << exact << true << 2;
        QTest::newRow("no, then empty") << QStringList{"no", ""} << exact << false << 2;
        QTest::newRow("cancel") << QStringList{} << exact << false << 1;
        QTest::newRow("trimmed accepts blanks") << QStringList{" si "} << trimmed << true << 1;
        QTest::newRow("trimmed no then SI") << QStringList{"no", "SI"} << trimmed << true << 2;
    }
    void confirmationRule()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, rule);
        ScriptedAsk ask{answers};
        QTEST(ui::confirmByTypingYes(ask.fn(), "p", "t", ui::ConfirmationRule(rule)), "yes");
        QTEST(int(ask.defaults.size()), "asked");
        QCOMPARE(ask.defaults.first(), QStringLiteral("NO"));
        if (answers.size() > 1)
            QCOMPARE(ask.defaults.at(1), answers.first());
    }

    void singleRequest()
    {
        Database db;
        const qint64 sid = db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "77"});
        const QString key = QStringLiteral("pMensaje %1").arg(sid);

        const CancelRequest none = buildCancelRequest(db.connection, key, {}, 3);
        QCOMPARE(none.status, CancelRequest::Status::NoAccount);
        QCOMPARE(none.notice.text, QStringLiteral("Debes introducir los datos de la cuenta primero en Archivo->Configuracion"));
        QCOMPARE(none.notice.title, QStringLiteral("Faltan datos de usuario"));

        const CancelRequest r = buildCancelRequest(db.connection, key, {"ana", "a&b#c"}, 3);
        QCOMPARE(r.status, CancelRequest::Status::Ready);
        QCOMPARE(r.smsId, QStringLiteral("77"));
        QVERIFY(r.url.endsWith(
            QStringLiteral("/APIv2/scheduled_sendings.php?username=ana&password=a%26b%23c&sms_id=77&action=2&buf=3")));
        QCOMPARE(buildCancelRequest(db.connection, "l0", ana, 0).status, CancelRequest::Status::NoRow);
    }

    // A row the gateway never identified (an old or damaged one) shares its empty identifier with
    // every other such row: nothing may be asked or changed through it.
    void rowsWithoutIdentifierAreNeverTouched()
    {
        Database db;
        const qint64 sid = db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00"});
        db.insert({.recipients = "2", .scheduledFor = "2024-06-02 10:00"});
        db.connection.execute(QStringLiteral("INSERT INTO Historial (destinatario, f_programada) VALUES ('3', '2024-06-03 10:00')"));
        db.insert({.recipients = "4", .scheduledFor = "2024-06-04 10:00", .gatewayId = "77"});

        const CancelRequest r = buildCancelRequest(db.connection, QStringLiteral("pMensaje %1").arg(sid), ana, 0);
        QCOMPARE(r.status, CancelRequest::Status::NoIdentifier);
        QCOMPARE(r.notice.text, kNotCancelledMessage);
        for (const char *reply : {"0|", "4|", "0|77"})
            QCOMPARE(recordCancelReply(db.connection, QString::fromLatin1(reply), r.target()).changed, false);
        QVERIFY(deleteRefusedSend(db.connection, r.target()).ok());
        QCOMPARE(db.count(), qint64(4));
        QCOMPARE(db.count("f_programada='Inmediato'"), qint64(0));

        // "Cancelar todos" asks only about the identified send, whatever the gateway says to others.
        FakeGateway gateway;
        gateway.replies = {{"", "0|"}, {"77", "0|77"}};
        ScriptedAsk ask{{"SI"}};
        const CancelAllOutcome out = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), gateway.fn());
        QCOMPARE(out.asked, 1);
        QCOMPARE(out.cancelled, 1);
        QCOMPARE(gateway.requests.size(), 1);
        QCOMPARE(db.count(), qint64(3));
        QCOMPARE(db.count("id_web='77'"), qint64(0));
    }

    // A scheduled send recorded with an identifier that is not a number is never named to the
    // gateway: neither alone nor by "Cancelar todos".
    void identifiersThatAreNotNumbersAreNeverNamed()
    {
        Database db;
        const qint64 sid = db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "abc"});
        db.insert({.recipients = "2", .scheduledFor = "2024-06-02 10:00", .gatewayId = "7x"});
        db.insert({.recipients = "3", .scheduledFor = "2024-06-03 10:00", .gatewayId = "77"});

        const CancelRequest r = buildCancelRequest(db.connection, QStringLiteral("pMensaje %1").arg(sid), ana, 0);
        QCOMPARE(r.status, CancelRequest::Status::NoIdentifier);
        QVERIFY(r.url.isEmpty());
        QCOMPARE(r.notice.text, kNotCancelledMessage);

        FakeGateway gateway;
        gateway.replies = {{"77", "0|77"}, {"abc", "0|abc"}, {"7x", "0|7x"}};
        ScriptedAsk ask{{"SI"}};
        const CancelAllOutcome out = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), gateway.fn());
        QCOMPARE(out.asked, 1);
        QCOMPARE(gateway.requests.size(), 1);
        QCOMPARE(gateway.requests.first().at(9), QStringLiteral("77"));
        QCOMPARE(db.count(), qint64(2));
    }

    void replies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<qint64>("rows77");
        QTest::addColumn<QString>("programada77");
        const QString no = "No ha sido posible cancelar el envio.";
        const int uncertain = int(CancelOutcome::Status::Uncertain);
        QTest::newRow("0") << "0|77" << int(CancelOutcome::Status::Cancelled)
                           << "El envio ha sido cancelado satisfactoriamente, y los créditos le han sido devueltos."
                           << qint64(0) << "";
        // The reply names another send: the row asked about goes, the other stays.
        QTest::newRow("0 naming another send") << "0|78" << int(CancelOutcome::Status::Cancelled)
                                               << "El envio ha sido cancelado satisfactoriamente, y los créditos le han sido devueltos."
                                               << qint64(0) << "";
        QTest::newRow("1") << "1|77" << int(CancelOutcome::Status::NotCancelled) << no << qint64(1) << "2024-06-01 10:00";
        QTest::newRow("2") << "2|Missing parameters" << int(CancelOutcome::Status::NotCancelled) << no << qint64(1)
                           << "2024-06-01 10:00";
        QTest::newRow("3") << "3|77" << int(CancelOutcome::Status::OfferDelete)
                           << "No ha sido posible cancelar el envio, probablemente fue realizado desde otro usuario. Se "
                              "recomienda eliminar el registro para evitar futuras confusiones."
                           << qint64(1) << "2024-06-01 10:00";
        QTest::newRow("4") << "4|77" << int(CancelOutcome::Status::AlreadySent)
                           << "El mensaje ya ha sido enviado, y no puede cancelarse." << qint64(1) << "Inmediato";
        QTest::newRow("9") << "9|77" << int(CancelOutcome::Status::NotCancelled) << no << qint64(1) << "2024-06-01 10:00";
        // Neither the gateway's success nor its refusal: the send may have been cancelled.
        QTest::newRow("empty") << "" << uncertain << kCancelUncertainMessage << qint64(1) << "2024-06-01 10:00";
        QTest::newRow("no bar") << "Internal error" << uncertain << kCancelUncertainMessage << qint64(1)
                                << "2024-06-01 10:00";
        QTest::newRow("error page holding a bar") << "<html><body>Error 502 | Proxy</body></html>" << uncertain
                                                  << kCancelUncertainMessage << qint64(1) << "2024-06-01 10:00";
        QTest::newRow("two-digit code") << "10|77" << uncertain << kCancelUncertainMessage << qint64(1)
                                        << "2024-06-01 10:00";
    }
    void replies()
    {
        QFETCH(QString, reply);
        QFETCH(int, status);
        Database db;
        // An older send, delivered and charged, carries the number the gateway has since given to
        // the send being cancelled: it is another send, and no answer about the new one touches it.
        const qint64 older = db.insert(
            {.recipients = "1", .scheduledFor = "2024-05-01 10:00", .gatewayId = "77", .state = "1|1|0"});
        const qint64 chosen = db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "77"});
        db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "78"});
        const CancelRequest request = buildCancelRequest(db.connection, QStringLiteral("pMensaje %1").arg(chosen), ana, 0);
        QCOMPARE(request.sid, chosen);
        const CancelOutcome out = recordCancelReply(db.connection, reply, request.target());
        QCOMPARE(int(out.status), status);
        QTEST(out.notice.text, "message");
        QTEST(db.count("sid=?", {chosen}), "rows77");
        QTEST(db.connection.scalar("SELECT f_programada FROM Historial WHERE sid=?", {chosen}).toString(), "programada77");
        QCOMPARE(db.count("id_web='78'"), qint64(1));
        QCOMPARE(db.count("sid=? AND f_programada='2024-05-01 10:00' AND estado='1|1|0'", {older}), qint64(1));
        // Only a send that may have been cancelled is marked, and only that one.
        const bool uncertain = out.status == CancelOutcome::Status::Uncertain;
        QCOMPARE(db.count("id_web='77' AND estado='?|0|0'"), qint64(uncertain ? 1 : 0));
        QCOMPARE(db.count("id_web='78' AND estado='0|0|0'"), qint64(1));
        QCOMPARE(out.changed, out.status != CancelOutcome::Status::NotCancelled && out.status != CancelOutcome::Status::OfferDelete);
        // Credits came back, or may have.
        QCOMPARE(out.askBalance, uncertain || out.status == CancelOutcome::Status::Cancelled);
        if (out.status == CancelOutcome::Status::OfferDelete) {
            QCOMPARE(out.notice.title, QStringLiteral("Cancelación fallida. Eliminar registro?"));
            QVERIFY(deleteRefusedSend(db.connection, request.target()).ok());
            QCOMPARE(db.count("sid=?", {chosen}), qint64(0));
            QCOMPARE(db.count("sid=?", {older}), qint64(1));
        }
    }

    // A send that is no longer scheduled when the answer comes (it went out, and another
    // workstation turned it into an immediate send) is no longer the send the user chose to cancel:
    // no answer deletes, rewrites or marks it.
    void repliesLeaveARowNoLongerScheduled_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::newRow("0") << "0|77";
        QTest::newRow("3, then yes") << "3|77";
        QTest::newRow("4") << "4|77";
        QTest::newRow("no answer") << "";
    }
    void repliesLeaveARowNoLongerScheduled()
    {
        QFETCH(QString, reply);
        Database db;
        const qint64 sid = db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "77"});
        const CancelRequest request = buildCancelRequest(db.connection, QStringLiteral("pMensaje %1").arg(sid), ana, 0);
        QVERIFY(db.connection.execute("UPDATE Historial SET f_programada='Inmediato', estado='0|1|0' WHERE sid=?", {sid}).ok());
        const CancelOutcome out = recordCancelReply(db.connection, reply, request.target());
        QVERIFY(!out.changed);
        if (out.status == CancelOutcome::Status::OfferDelete)
            QCOMPARE(deleteRefusedSend(db.connection, request.target()).changes, 0);
        QCOMPARE(db.count("sid=? AND f_programada='Inmediato' AND estado='0|1|0'", {sid}), qint64(1));
    }

    void cancelAll_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("cancelled");
        QTest::addColumn<qint64>("rowsLeft");
        QTest::addColumn<QString>("message");
        QTest::newRow("si") << QStringList{"si"} << int(CancelAllOutcome::Status::Done) << 2 << qint64(4)
                            << "Se han cancelado 2 envios programados.";
        QTest::newRow("blank SI, asked again, si") << QStringList{" SI", "si"} << int(CancelAllOutcome::Status::Done) << 2
                                                   << qint64(4) << "Se han cancelado 2 envios programados.";
        QTest::newRow("blank SI, then cancel") << QStringList{" SI"} << int(CancelAllOutcome::Status::Aborted) << 0
                                               << qint64(6) << "Operación anulada correctamente sin cambios";
        QTest::newRow("no, then empty") << QStringList{"no", ""} << int(CancelAllOutcome::Status::Aborted) << 0
                                        << qint64(6) << "Operación anulada correctamente sin cambios";
    }
    void cancelAll()
    {
        QFETCH(QStringList, answers);
        Database db;
        db.insert({.recipients = "1", .gatewayId = "1"});                                       // immediate
        db.insert({.recipients = "1", .scheduledFor = "2024-05-10 12:00", .gatewayId = "2"});    // current minute
        db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "3"});
        db.insert({.recipients = "1", .scheduledFor = "2024-06-02 10:00", .gatewayId = "4"});
        db.insert({.recipients = "1", .scheduledFor = "2024-06-03 10:00", .gatewayId = "5"});
        // An older send, delivered, with the number of one that is cancelled: it stays.
        const qint64 older = db.insert({.recipients = "1", .scheduledFor = "2024-05-01 10:00", .gatewayId = "5", .state = "1|1|0"});
        FakeGateway gateway;
        gateway.replies = {{"3", "0|3"}, {"4", "1|4"}, {"5", "0|5"}};
        ScriptedAsk ask{answers};
        const CancelAllOutcome out = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), gateway.fn());
        QTEST(int(out.status), "status");
        QCOMPARE(out.asked, 3);
        QCOMPARE(ask.title, QStringLiteral("Confirmar cancelación de 3 envíos"));
        QCOMPARE(ask.prompt, QStringLiteral("Está a punto de cancelar 3 envíos programados. Dicha operación no tiene vuelta "
                                            "a atrás, está seguro de ello? Escriba SI para continuar, o pulse cancelar."));
        QTEST(out.cancelled, "cancelled");
        QTEST(db.count(), "rowsLeft");
        QTEST(out.notice.text, "message");
        if (out.status == CancelAllOutcome::Status::Done) {
            QCOMPARE(gateway.requests.size(), 3);
            QCOMPARE(gateway.requests.first(),
                     (QStringList{"APIv2/scheduled_sendings.php", "Fuente", "username", "password", "sms_id", "action",
                                  "Desktop", "ana", "secreto", "5", "2"}));
            QCOMPARE(db.count("id_web='4'"), qint64(1));
            QCOMPARE(db.count("id_web='5'"), qint64(1));
            QCOMPARE(db.count("sid=? AND estado='1|1|0'", {older}), qint64(1));
        } else {
            QVERIFY(gateway.requests.isEmpty());
        }
    }

    // The gateway's numbers are stored as the send's reply gave them, blanks and all; every
    // statement that picks a send by its number finds the same rows.
    void blanksAroundTheNumberStillNameTheSend()
    {
        Database db;
        const qint64 padded = db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = " 213 "});
        db.insert({.recipients = "1", .scheduledFor = "2024-06-02 10:00", .gatewayId = "2130"});
        FakeGateway gateway;
        gateway.replies = {{"213", "0|213"}};
        ScriptedAsk ask{{"SI"}};
        const CancelAllOutcome all = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), gateway.fn());
        QCOMPARE(all.cancelled, 1);
        QCOMPARE(db.count("sid=?", {padded}), qint64(0));
        QCOMPARE(db.count(), qint64(1));

        for (const char *reply : {"0|213", "4|213"}) {
            const qint64 sid = db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "\t213  "});
            const CancelRequest req = buildCancelRequest(db.connection, QStringLiteral("pMensaje %1").arg(sid), ana, 0);
            QCOMPARE(req.smsId, QStringLiteral("213"));
            const CancelOutcome one = recordCancelReply(db.connection, QString::fromLatin1(reply), req.target());
            QVERIFY(one.changed);
            if (one.status == CancelOutcome::Status::Cancelled) {
                QCOMPARE(db.count("sid=?", {sid}), qint64(0));
            } else {
                QCOMPARE(one.status, CancelOutcome::Status::AlreadySent);
                QCOMPARE(db.connection.scalar("SELECT f_programada FROM Historial WHERE sid=?", {sid}).toString(),
                         QStringLiteral("Inmediato"));
                // Now an immediate send, it is no longer the scheduled send the question was about.
                QVERIFY(deleteRefusedSend(db.connection, req.target()).ok());
                QCOMPARE(db.count("sid=?", {sid}), qint64(1));
                QVERIFY(db.connection.execute("DELETE FROM Historial WHERE sid=?", {sid}).ok());
            }
        }
        QCOMPARE(db.count("id_web='2130'"), qint64(1));
    }

    // One reply of "Cancelar todos" that is neither a success nor a refusal: the count says what
    // the gateway confirmed, each such send is named as possibly cancelled and stays marked, and
    // the balance is to be taken from the gateway.
    void cancelAllSaysWhatMayHaveBeenCancelled()
    {
        Database db;
        db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "3"});
        db.insert({.recipients = "1", .scheduledFor = "2024-06-02 10:00", .gatewayId = "4"});
        db.insert({.recipients = "1", .scheduledFor = "2024-06-03 10:00", .gatewayId = "5", .state = "0|1|0"});
        db.insert({.recipients = "1", .scheduledFor = "2024-06-04 10:00", .gatewayId = "6"});
        FakeGateway gateway;
        gateway.replies = {{"3", "0|3"}, {"4", ""}, {"5", "<html>Error 500</html>"}, {"6", "1|6"}};
        ScriptedAsk ask{{"SI"}};
        const CancelAllOutcome out = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), gateway.fn());
        QCOMPARE(out.status, CancelAllOutcome::Status::Done);
        QCOMPARE(out.cancelled, 1);
        QCOMPARE(out.uncertain, 2);
        QVERIFY(out.changed);
        QVERIFY(out.askBalance);
        const QString maybe = QStringLiteral(
            ") puede haberse cancelado: no se ha recibido una respuesta reconocible de la pasarela. Queda marcado en el "
            "historial como cancelación sin confirmar.");
        QCOMPARE(out.notice.text, QStringLiteral("Se han cancelado 1 envios programados.\nEl envío programado para el "
                                                 "2024-06-03 10:00 (identificador 5")
                                      + maybe
                                      + QStringLiteral("\nEl envío programado para el 2024-06-02 10:00 (identificador 4")
                                      + maybe);
        QCOMPARE(db.count("id_web='3'"), qint64(0));
        QCOMPARE(db.connection.scalar("SELECT group_concat(id_web || ':' || f_programada || ':' || estado, ' ') FROM "
                                      "(SELECT * FROM Historial ORDER BY sid)")
                     .toString(),
                 QStringLiteral("4:2024-06-02 10:00:?|0|0 5:2024-06-03 10:00:?|1|0 6:2024-06-04 10:00:0|0|0"));

        // The view says so; the lists read as before.
        const HistoryPage page = buildHistoryPage(db.connection, {}, now);
        QStringList texts;
        for (const HistoryNode &node : page.nodes) {
            if (node.parentKey.isEmpty())
                texts << node.text;
        }
        QCOMPARE(texts, (QStringList{"Mensaje 1 (2024-06-04 10:00) - 1", "Mensaje 2 (2024-06-03 10:00) - 1 - cancelación sin confirmar",
                                     "Mensaje 3 (2024-06-02 10:00) - 1 - cancelación sin confirmar"}));

        // Once due, the automatic report refresh leaves them alone: it would remove a cancelled
        // send without a word. Asked for one by one, the gateway's report settles them.
        const QString later = QStringLiteral("2024-07-01 00:00");
        const PendingReport pending = findPendingReports(db.connection, ana, later);
        QCOMPARE(pending.ids, QStringList{"6"});
        const ReportedRows askedOneByOne{{{"4", 2}, {"5", 3}}, false};
        const ReportOutcome settled = recordReportReply(db.connection, QStringLiteral("1|4|1|0\r\n5|5\r\n"), ana, askedOneByOne);
        QCOMPARE(settled.updated, 1);
        QCOMPARE(settled.deleted, 1);
        QCOMPARE(db.connection.scalar("SELECT group_concat(id_web || ':' || estado, ' ') FROM (SELECT * FROM Historial "
                                      "ORDER BY sid)")
                     .toString(),
                 QStringLiteral("4:1|1|0 6:0|0|0"));
    }

    // A send that may have been cancelled and cannot be marked is still named, without saying it
    // was marked, and nothing of the step stays.
    void uncertainSendsThatCannotBeMarked()
    {
        Database db;
        db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "3"});
        db.insert({.recipients = "1", .scheduledFor = "2024-06-02 10:00", .gatewayId = "4"});
        QVERIFY(db.connection.execute("CREATE TRIGGER romper BEFORE UPDATE ON Historial BEGIN "
                                      "SELECT RAISE(ABORT, 'disco lleno'); END").ok());
        const CancelOutcome one = recordCancelReply(db.connection, QString(), {2, "4"});
        QCOMPARE(one.status, CancelOutcome::Status::DatabaseError);
        QVERIFY(one.askBalance);
        QCOMPARE(one.notice.text, QStringLiteral("No se ha recibido una respuesta reconocible de la pasarela. El envío "
                                                 "puede haberse cancelado, pero no ha sido posible marcarlo en el "
                                                 "historial. Compruebe sus envíos programados en su cuenta web."));

        FakeGateway gateway;
        gateway.replies = {{"3", "0|3"}, {"4", ""}};
        ScriptedAsk ask{{"SI"}};
        const CancelAllOutcome all = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), gateway.fn());
        QCOMPARE(all.status, CancelAllOutcome::Status::DatabaseError);
        QVERIFY(!all.changed);
        QVERIFY(all.askBalance);
        QCOMPARE(all.notice.text, QStringLiteral("Se han cancelado 1 envios programados, pero no ha sido posible cambiarlos "
                                                 "en el historial.\nEl envío programado para el 2024-06-02 10:00 "
                                                 "(identificador 4) puede haberse cancelado: no se ha recibido una "
                                                 "respuesta reconocible de la pasarela."));
        QCOMPARE(db.count(), qint64(2));
        QCOMPARE(db.count("estado='0|0|0'"), qint64(2));
    }

    // The gateway cancelled the send and gave its credits back, but its row cannot be deleted:
    // the balance is still taken from the gateway and the user hears what the gateway did.
    void cancelledSendThatCannotBeDeleted()
    {
        Database db;
        db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "3"});
        QVERIFY(db.connection.execute("CREATE TRIGGER romper BEFORE DELETE ON Historial BEGIN "
                                      "SELECT RAISE(ABORT, 'disco lleno'); END").ok());
        const CancelOutcome out = recordCancelReply(db.connection, QStringLiteral("0|Cancelado"), {1, "3"});
        QCOMPARE(out.status, CancelOutcome::Status::DatabaseError);
        QVERIFY(out.askBalance);
        QVERIFY(!out.changed);
        QCOMPARE(out.notice.text, QStringLiteral("El envio ha sido cancelado satisfactoriamente, y los créditos le han "
                                                 "sido devueltos. No ha sido posible borrarlo del historial."));
        QCOMPARE(db.count(), qint64(1));
    }

    // No whole answer after the request had gone out: that send may have been cancelled; the
    // rest are not asked. A request that never left cancelled nothing.
    void cancelAllWithoutAnAnswerAfterTheRequestLeft()
    {
        for (const bool delivered : {true, false}) {
            Database db;
            db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "3"});
            db.insert({.recipients = "1", .scheduledFor = "2024-06-02 10:00", .gatewayId = "4"});
            ScriptedAsk ask{{"SI"}};
            int requests = 0;
            const SyncTransport transport = [&](const QString &, const QStringList &, const QStringList &) {
                ++requests;
                return TransportReply{false, {}, delivered};
            };
            const CancelAllOutcome out = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), transport);
            QCOMPARE(out.status, CancelAllOutcome::Status::Unreachable);
            QCOMPARE(requests, 1);
            QCOMPARE(out.uncertain, delivered ? 1 : 0);
            QCOMPARE(out.askBalance, delivered);
            QCOMPARE(out.notice.text.contains(QStringLiteral("(identificador 4) puede haberse cancelado")), delivered);
            QCOMPARE(db.count("estado LIKE '?|%'"), qint64(delivered ? 1 : 0));
            QCOMPARE(db.count(), qint64(2));
        }
    }

    void cancelAllNothingToCancel()
    {
        Database db;
        db.insert({.recipients = "1", .gatewayId = "1"});
        db.insert({.recipients = "1", .scheduledFor = "2024-05-01 10:00", .gatewayId = "2"});
        ScriptedAsk ask{{"si"}};
        FakeGateway gateway;
        const CancelAllOutcome out = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), gateway.fn());
        QCOMPARE(out.status, CancelAllOutcome::Status::Nothing);
        QVERIFY(out.notice.text.isEmpty());
        QVERIFY(ask.defaults.isEmpty());
        QCOMPARE(cancelAllScheduled(db.connection, {}, {}, now, ask.fn(), gateway.fn()).status,
                 CancelAllOutcome::Status::NoAccount);
    }

    void cancelAllUnreachableIsReported()
    {
        Database db;
        db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "3"});
        ScriptedAsk ask{{"SI"}};
        FakeGateway gateway;
        gateway.reachable = false;
        const CancelAllOutcome out = cancelAllScheduled(db.connection, {}, ana, now, ask.fn(), gateway.fn());
        QCOMPARE(out.status, CancelAllOutcome::Status::Unreachable);
        QVERIFY(!out.notice.text.isEmpty());
        QCOMPARE(out.notice.title, QStringLiteral("Conexión fallida"));
        QCOMPARE(db.count(), qint64(1));
    }

    void cancelAllOnlyWithinTheView()
    {
        Database db;
        db.seedHundred();
        // The gateway numbers its sends: "w9" becomes 9.
        QVERIFY(db.connection.execute(QStringLiteral("UPDATE Historial SET id_web=substr(id_web, 2)")).ok());
        FilterPanel panel;
        panel.byText = true;
        panel.text = "Cita 9";   // 9, 93, 99 are scheduled in June (91, 95 and 97 are not)
        ViewOptions o;
        o.filtering = true;
        o.filter = buildHistoryFilter(panel).condition;
        const HistoryPage page = buildHistoryPage(db.connection, o, now);
        FakeGateway gateway;
        for (int sid = 1; sid <= 100; ++sid)
            gateway.replies.insert(QString::number(sid), QStringLiteral("0|%1").arg(sid));
        ScriptedAsk ask{{"si"}};
        const CancelAllOutcome out = cancelAllScheduled(db.connection, page.condition, ana, now, ask.fn(), gateway.fn());
        QCOMPARE(out.cancelled, 3);
        QCOMPARE(db.count(), qint64(97));
    }

    void deleteOne()
    {
        Database db;
        const qint64 sid = db.insert({.recipients = "1"});
        db.insert({.recipients = "2"});
        QCOMPARE(deleteSendRecord(db.connection, "l0", now).status, DeleteOutcome::Status::Nothing);
        const DeleteOutcome out = deleteSendRecord(db.connection, QStringLiteral("Pendientes %1").arg(sid), now);
        QCOMPARE(out.status, DeleteOutcome::Status::Deleted);
        QCOMPARE(out.notice.text, QStringLiteral("Registro eliminado satisfactoriamente"));
        QCOMPARE(out.notice.title, QStringLiteral("Historial eliminado"));
        QCOMPARE(db.count(), qint64(1));
        // The row is gone already (another window deleted it): no success message.
        const DeleteOutcome again = deleteSendRecord(db.connection, QStringLiteral("Pendientes %1").arg(sid), now);
        QCOMPARE(again.status, DeleteOutcome::Status::Nothing);
        QCOMPARE(again.notice.text, kSendGoneNotice.text);
        QCOMPARE(db.count(), qint64(1));
    }

    // Whoever asks, a scheduled send still to go out keeps its row (it would still go out and
    // could no longer be cancelled), and a send already gone is said to be gone.
    void deleteOneNeverTakesAPendingSend()
    {
        Database db;
        const qint64 scheduled = db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00", .gatewayId = "w1"});
        const qint64 overdue = db.insert({.recipients = "2", .scheduledFor = "2024-05-10 11:59", .gatewayId = "w2"});
        const qint64 slashed = db.insert({.recipients = "3", .scheduledFor = "2024/06/01 10:00", .gatewayId = "w3"});
        const qint64 noTime = db.insert({.recipients = "4"});
        db.connection.execute(QStringLiteral("UPDATE Historial SET f_programada=NULL WHERE sid=?"), {noTime});

        DeleteOutcome out = deleteSendRecord(db.connection, QStringLiteral("pMensaje %1").arg(scheduled), now);
        QCOMPARE(out.status, DeleteOutcome::Status::Nothing);
        QVERIFY(!out.changed);
        QCOMPARE(out.notice.text, kDeleteScheduledNotice.text);
        QCOMPARE(db.count(QStringLiteral("sid=?"), {scheduled}), qint64(1));

        // Due sends, times the gateway never took as scheduled and null times go as any sent one.
        for (const qint64 sid : {overdue, slashed, noTime}) {
            out = deleteSendRecord(db.connection, QStringLiteral("pMensaje %1").arg(sid), now);
            QCOMPARE(out.status, DeleteOutcome::Status::Deleted);
            QCOMPARE(db.count(QStringLiteral("sid=?"), {sid}), qint64(0));
        }

        out = deleteSendRecord(db.connection, QStringLiteral("pMensaje %1").arg(overdue), now);
        QCOMPARE(out.status, DeleteOutcome::Status::Nothing);
        QVERIFY(out.changed);
        QCOMPARE(out.notice.text, kSendGoneNotice.text);
        QCOMPARE(out.notice.title, QStringLiteral("Historial"));
        QCOMPARE(db.count(), qint64(1));

        // Cancelling a send gone meanwhile asks the gateway nothing and says so.
        const CancelRequest gone = buildCancelRequest(db.connection, QStringLiteral("pMensaje %1").arg(overdue), ana, 0);
        QCOMPARE(gone.status, CancelRequest::Status::NoRow);
        QCOMPARE(gone.notice.text, kSendGoneNotice.text);
        QVERIFY(gone.url.isEmpty());
        QVERIFY(buildCancelRequest(db.connection, QStringLiteral("l0"), ana, 0).notice.text.isEmpty());
    }

    void deleteAllSent_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("deleted");
        QTest::addColumn<qint64>("left");
        QTest::newRow("whole view") << "" << QStringList{" si "} << int(DeleteOutcome::Status::Deleted) << qint64(83)
                                    << qint64(17);
        QTest::newRow("under a filter") << "Cita" << QStringList{"SI"} << int(DeleteOutcome::Status::Deleted) << qint64(33)
                                        << qint64(67);
        QTest::newRow("no") << "" << QStringList{"no"} << int(DeleteOutcome::Status::Aborted) << qint64(0) << qint64(100);
        QTest::newRow("only scheduled in view") << "Cita 9" << QStringList{"si"} << int(DeleteOutcome::Status::Deleted)
                                                << qint64(3) << qint64(97);
    }
    void deleteAllSent()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, answers);
        QFETCH(qint64, deleted);
        Database db;
        db.seedHundred();
        FilterPanel panel;
        panel.byText = !text.isEmpty();
        panel.text = text;
        ViewOptions o;
        o.filtering = true;
        o.filter = buildHistoryFilter(panel).condition;
        const HistoryPage page = buildHistoryPage(db.connection, o, now);
        ScriptedAsk ask{answers};
        const DeleteOutcome out = deleteSentSends(db.connection, page.condition, now, ask.fn());
        QTEST(int(out.status), "status");
        QCOMPARE(out.deleted, deleted);
        QTEST(db.count(), "left");
        QCOMPARE(db.count("f_programada='2024-06-01 10:00'"), qint64(17));
        if (out.status == DeleteOutcome::Status::Deleted) {
            QCOMPARE(out.notice.text, QStringLiteral("Se han eliminado %1 registros de historial.").arg(deleted));
            QCOMPARE(ask.title, QStringLiteral("Confirmar eliminación de %1 historiales de envíos").arg(deleted));
        } else {
            QCOMPARE(out.notice.title, QStringLiteral("Operación abortada"));
        }
    }

    void deleteAllSentOnOnlyFutureSends()
    {
        Database db;
        db.insert({.recipients = "1", .scheduledFor = "2024-06-01 10:00"});
        ScriptedAsk ask{{"si"}};
        const DeleteOutcome out = deleteSentSends(db.connection, {}, now, ask.fn());
        QCOMPARE(out.status, DeleteOutcome::Status::Nothing);
        QVERIFY(ask.defaults.isEmpty());
        QCOMPARE(db.count(), qint64(1));
    }
};

QTEST_GUILESS_MAIN(TestCancellation)
#include "test_cancellation.moc"
