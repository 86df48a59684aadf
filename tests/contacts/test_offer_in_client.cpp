// The unknown-number offer inside the whole client: leaving the recipients box offers the first
// number no contact has, "Guardar contacto" opens the contact editor on it, and its save goes on
// with the next unknown number; cancelling the editor ends the offer.
#include "app/client.h"
#include "app/main_window/main_window.h"
#include "contacts/editor/contact_editor_dialog.h"
#include "database/opening.h"
#include "database/schema.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "sending/offer/unknown_number_dialog.h"
#include "sending/panel/send_panel_view.h"
#include "support/client_rig.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
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
            QVERIFY(setup.open(database::localDatabasePath(home.path()), db::OpenMode::CreateIfMissing).ok());
            QVERIFY(database::createSchema(setup).ok());
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

        panel.recipientsBox()->setPlainText(QStringLiteral("611111111,622222222,633333333"));
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(panel.recipientsBox(), &leave);
        auto *offer = openWindow<sending::UnknownNumberDialog>("Form23");
        QVERIFY(offer);
        QCOMPARE(offer->numberLabel()->text(), QStringLiteral("34611111111"));

        offer->saveContactButton()->click();
        QVERIFY(!openWindow<sending::UnknownNumberDialog>("Form23"));
        auto *editor = openWindow<contacts::ContactEditorDialog>("Form5");
        QVERIFY(editor);
        QCOMPARE(editor->nameBox()->text(), QStringLiteral("Desconocido: 34611111111"));
        QCOMPARE(editor->mobileBox()->text(), QStringLiteral("34611111111"));
        QCOMPARE(editor->offerPosition(), std::optional<qint64>(0));
        prompter.answerMessage(ui::Answer::Ok);
        editor->save();
        QCOMPARE(prompter.lastCall().text, QStringLiteral("El contacto fue guardado satisfactoriamente."));

        // The known second number is passed over: the third comes next.
        offer = openWindow<sending::UnknownNumberDialog>("Form23");
        QVERIFY(offer);
        QCOMPARE(offer->numberLabel()->text(), QStringLiteral("34633333333"));
        QCOMPARE(offer->position(), qint64(2));

        offer->saveContactButton()->click();
        editor = openWindow<contacts::ContactEditorDialog>("Form5");
        QVERIFY(editor);
        editor->cancelButton()->click();
        QVERIFY(!openWindow<sending::UnknownNumberDialog>("Form23"));
        QTRY_VERIFY_WITH_TIMEOUT(!openWindow<contacts::ContactEditorDialog>("Form5"), 5000);

        db::Connection check;
        QVERIFY(check.open(database::localDatabasePath(home.path())).ok());
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
