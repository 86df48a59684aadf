// Cancelling scheduled sends inside the whole client: what the gateway gave back reaches the
// balance the send panel shows.
#include "app/main_window/main_window.h"
#include "gateway_sends.h"
#include "history/view/history_panel.h"
#include "platform/db/connection.h"
#include "sending/panel/send_panel_view.h"
#include "support/client_rig.h"

#include <QAction>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace {

const QString kLogin = QStringLiteral("ana");
const QString kPass = QStringLiteral("secreto");

struct Run : testing::ClientRig {
    Run() { sim.addAccount(kLogin, kPass, 500); }

    void seed(const QStringList &ids, const QStringList &times)
    {
        db::Connection setup;
        QVERIFY(openDatabase(setup));
        QVERIFY(setup
                    .execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,version_desktop) "
                                            "VALUES (?1,?2,'3','500','GMT +01:00','2.0')"),
                             {kLogin, kPass})
                    .ok());
        for (qsizetype i = 0; i < ids.size(); ++i)
            QVERIFY(setup
                        .execute(QStringLiteral("INSERT INTO Historial (destinatario,f_envio,f_programada,mensaje,id_web,"
                                                "estado,remitente,creditos,bool_cumple,username) VALUES "
                                                "('34600123456','2026-01-01 09:00',?1,'Hola',?2,'0|0|0','Tienda',1,'0',?3)"),
                                 {times.at(i), ids.at(i), kLogin})
                        .ok());
    }

    QLabel *balance() { return client->mainWindow().sendPanel().balanceLabel(); }
    history::HistoryPanel *history()
    {
        return client->mainWindow().tabs()->findChild<history::HistoryPanel *>(QStringLiteral("picOptions1"));
    }
};

} // namespace

class TestCancelInClient final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // "Cancelar todos" with one answer that is an empty page: the gateway cancelled and refunded
    // both sends, and the balance shown is taken from it afterwards.
    void theBalanceFollowsWhatTheGatewayGaveBack()
    {
        Run run;
        const QStringList times{QStringLiteral("2099-06-01 10:00"), QStringLiteral("2099-06-02 10:00")};
        const QStringList ids{historytest::sendAtGateway(run.sim, kLogin, kPass, QStringLiteral("34600123456"), times.at(0)),
                              historytest::sendAtGateway(run.sim, kLogin, kPass, QStringLiteral("34600123456"), times.at(1))};
        QCOMPARE(run.sim.balance(kLogin), 498.0);
        run.seed(ids, times);
        run.client = std::make_unique<app::Client>(run.prompter, run.shell);
        QCOMPARE(run.client->start(), startup::StartupStatus::Ready);
        QTRY_COMPARE_WITH_TIMEOUT(run.balance()->text(), QStringLiteral("498 créditos"), 10000);
        const int quotes = run.sim.requestCount(sim::Endpoint::QuoteSms);

        run.sim.armFault(sim::Endpoint::ScheduledSendings, sim::FaultKind::EmptyBody);
        run.prompter.answerInput(QStringLiteral("SI"));
        QVERIFY(run.history());
        run.history()->menuItem(QStringLiteral("mnurclick_listado_historial_cancelar_todos"))->trigger();
        QCOMPARE(run.sim.requestCount(sim::Endpoint::ScheduledSendings), 2);
        QCOMPARE(run.sim.balance(kLogin), 500.0);
        QVERIFY(run.prompter.messageTexts().constLast().startsWith(QStringLiteral("Se han cancelado 1 envios programados.\n")));
        QTRY_COMPARE_WITH_TIMEOUT(run.balance()->text(), QStringLiteral("500 créditos"), 10000);
        QCOMPARE(run.sim.requestCount(sim::Endpoint::QuoteSms), quotes + 1);
    }
};

QTEST_MAIN(TestCancelInClient)
#include "test_cancel_in_client.moc"
