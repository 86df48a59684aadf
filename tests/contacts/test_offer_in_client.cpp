// The unknown-number offer inside the whole client: leaving the recipients box offers the first
// number the book lacks, "Guardar contacto" opens the contact editor on it, and its save goes on
// with the next unknown number; cancelling the editor ends the offer.
#include "app/client.h"
#include "contacts/editor/form5.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "sending/offer/form23.h"
#include "startup/database/opening.h"
#include "startup/database/schema.h"
#include "startup/main_window/form1.h"
#include "sending/panel/send_panel_view.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/client_rig.h"
#include "support/temp_home.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

using testing::openWindow;

} // namespace

class TestOfferInClient final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void offerSavesThroughTheEditor()
    {
        testing::TempHome home;
        sim::GatewaySimulator sim;
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        sim.start();
        qputenv("BRISANTA_URL_BASE", sim.baseUrl().toUtf8());
        sim.addAccount(QStringLiteral("ana"), QStringLiteral("secreto"), 500);
        {
            db::Connection setup;
            QVERIFY(setup.open(startup::localDatabasePath(home.path()), db::OpenMode::CreateIfMissing).ok());
            QVERIFY(startup::createSchema(setup).ok());
            QVERIFY(setup
                        .execute(QStringLiteral(
                            "INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,version_desktop,defecto_agenda) "
                            "VALUES ('ana','secreto','3','500','GMT +01:00','2.0','Preguntar')"))
                        .ok());
            QVERIFY(setup.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES ('Berta','34622222222')"))
                        .ok());
        }
        auto client = std::make_unique<app::Client>(prompter, shell);
        QCOMPARE(client->start(), startup::StartupStatus::Ready);
        sending::SendPanelView &panel = client->mainWindow().sendPanel();

        panel.Text2()->setPlainText(QStringLiteral("611111111,622222222,633333333"));
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(panel.Text2(), &leave);
        auto *offer = openWindow<sending::Form23>("Form23");
        QVERIFY(offer);
        QCOMPARE(offer->telefono()->text(), QStringLiteral("34611111111"));

        offer->Command3()->click();
        QVERIFY(!openWindow<sending::Form23>("Form23"));
        auto *editor = openWindow<contacts::Form5>("Form5");
        QVERIFY(editor);
        QCOMPARE(editor->Text1()->text(), QStringLiteral("Desconocido: 34611111111"));
        QCOMPARE(editor->Text2()->text(), QStringLiteral("34611111111"));
        QCOMPARE(editor->Form1introducir_agenda(), std::optional<qint64>(0));
        prompter.answerMessage(ui::Answer::Ok);
        editor->Command1_Click();
        QCOMPARE(prompter.lastCall().text, QStringLiteral("El contacto fue guardado satisfactoriamente."));

        // The known second number is passed over: the third comes next.
        offer = openWindow<sending::Form23>("Form23");
        QVERIFY(offer);
        QCOMPARE(offer->telefono()->text(), QStringLiteral("34633333333"));
        QCOMPARE(offer->posicion(), qint64(2));

        offer->Command3()->click();
        editor = openWindow<contacts::Form5>("Form5");
        QVERIFY(editor);
        editor->Command2()->click();
        QVERIFY(!openWindow<sending::Form23>("Form23"));
        QTRY_VERIFY_WITH_TIMEOUT(!openWindow<contacts::Form5>("Form5"), 5000);

        db::Connection check;
        QVERIFY(check.open(startup::localDatabasePath(home.path())).ok());
        QCOMPARE(check.scalar(QStringLiteral("SELECT nombre FROM Agenda WHERE telefono='34611111111'")).toString(),
                 QStringLiteral("Desconocido: 34611111111"));
        QCOMPARE(check.scalar(QStringLiteral("SELECT count(*) FROM Agenda")).toInt(), 2);

        client.reset();
        sim.stop();
        qunsetenv("BRISANTA_URL_BASE");
    }
};

QTEST_MAIN(TestOfferInClient)
#include "test_offer_in_client.moc"
