// The whole client started as the program starts it, against the gateway simulator: what a user
// sees on a first run and on a normal start, and what reaches the gateway and the database.
#include "account/account_settings.h"
#include "app/main_window/main_window.h"
#include "app/main_window/startup_rules.h"
#include "automation/birthdays/birthday_store.h"
#include "database/defaults.h"
#include "history/account.h"
#include "importexport/web/web_upload.h"
#include "platform/db/connection.h"
#include "sending/offer/unknown_numbers.h"
#include "sending/panel/account_row.h"
#include "sending/panel/send_panel_view.h"
#include "support/client_rig.h"
#include "support/fresh_database.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

using testing::openWindow;

// One program folder, one simulator, one client.
struct Run : testing::ClientRig {

    // The database as an earlier run left it, with this account row.
    void withAccount(const QString &login, const QString &pass, const QString &balance)
    {
        db::Connection setup;
        QVERIFY(openDatabase(setup));
        QVERIFY(setup
                    .execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,version_desktop) "
                                            "VALUES (?1,?2,'3',?3,'GMT +01:00','2.0')"),
                             {login, pass, balance})
                    .ok());
        QVERIFY(setup.execute(QStringLiteral("INSERT INTO Remitentes (remitente,defecto) VALUES ('Tienda',1)")).ok());
    }

    startup::StartupStatus start()
    {
        client = std::make_unique<app::Client>(prompter, shell);
        return client->start();
    }

    startup::MainWindow &form() { return client->mainWindow(); }
    sending::SendPanelView &panel() { return form().sendPanel(); }
    QString stored(const QString &column)
    {
        return client->context()
            .connection.scalar(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM Usuario ORDER BY sid LIMIT 1"))
            .toString();
    }
};

} // namespace

class TestStartupSequence final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A first row without a login (the shared path saved before any account) is no account: the
    // start-up, the defaults and every window take the same row, the first that has a login.
    void everyReaderTakesTheSameAccountRow()
    {
        testing::FreshDatabase d;
        QVERIFY(d.connection.execute(QStringLiteral("INSERT INTO Usuario (ruta_bbdd) VALUES ('/compartida/bbdd.mdb')")).ok());
        QVERIFY(d.connection
                    .execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,defecto_agenda) "
                                            "VALUES ('ana','clave','1','250','GMT +02:00','Preguntar')"))
                    .ok());

        const auto start = startup::readStartupAccount(d.connection);
        QVERIFY(start);
        QCOMPARE(start->login, QStringLiteral("ana"));
        QCOMPARE(startup::readCredentials(d.connection), std::make_optional(std::make_pair(QStringLiteral("ana"), QStringLiteral("clave"))));
        QCOMPARE(database::writeStartupDefaults(d.connection, d.home.path()).route, QStringLiteral("1"));

        const auto send = sending::readSendAccount(d.connection);
        QVERIFY(send);
        QCOMPARE(send->login, QStringLiteral("ana"));
        QCOMPARE(send->pass, QStringLiteral("clave"));
        QCOMPARE(send->route, QStringLiteral("1"));
        QVERIFY(sending::offerEnabled(d.connection));

        const history::Account inHistory = history::loadAccount(d.connection, {});
        QCOMPARE(inHistory.login, QStringLiteral("ana"));
        QCOMPARE(inHistory.pass, QStringLiteral("clave"));

        const auto greetings = automation::birthdays::readAccount(d.connection);
        QVERIFY(greetings);
        QCOMPARE(greetings->login, QStringLiteral("ana"));
        QCOMPARE(greetings->balance, 250.0);

        const auto settings = account::loadAccount(d.connection);
        QVERIFY(settings);
        QCOMPARE(settings->login, QStringLiteral("ana"));

        const auto web = importexport::web::readAccount(d.connection);
        QVERIFY(web);
        QCOMPARE(web->login, QStringLiteral("ana"));
        QCOMPARE(web->pass, QStringLiteral("clave"));
    }

    // No account: the settings and the missing-account windows open, the main window waits hidden
    // until the account is verified, and the start-up fills everything else all the same.
    void firstRunLeadsThroughTheAccountWindows()
    {
        Run run;
        run.sim.addAccount(QStringLiteral("ana"), QStringLiteral("p&ss+1"), 250);
        QCOMPARE(run.start(), startup::StartupStatus::Ready);
        QVERIFY(!run.form().isVisible());
        QVERIFY(openWindow("Form2"));
        QVERIFY(openWindow("Form3"));
        QCOMPARE(run.form().filterOperatorCombo()->currentText(), QStringLiteral("contengan"));
        QCOMPARE(run.form().filterFieldCombo()->currentText(), QStringLiteral("nombre"));
        QCOMPARE(run.panel().senderCombo()->currentText(), QStringLiteral("Brisanta.es"));
        QCOMPARE(run.sim.requestCount(sim::Endpoint::QuoteSms), 0);
        QCOMPARE(run.sim.requestCount(sim::Endpoint::DesktopVersion), 1);
        QVERIFY2(!run.prompter.hasUnexpected(), run.prompter.unexpectedReport().constData());

        auto *settings = openWindow("Form2");
        settings->findChild<QLineEdit *>(QStringLiteral("txtUsuario"))->setText(QStringLiteral("ana"));
        settings->findChild<QLineEdit *>(QStringLiteral("txtPass"))->setText(QStringLiteral("p&ss+1"));
        settings->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(run.prompter.messageTexts().size(), 1, 10000);
        QCOMPARE(run.prompter.messageTexts().first(), QStringLiteral("Datos de usuario guardados correctamente"));
        QCOMPARE(run.stored(QStringLiteral("login")), QStringLiteral("ana"));
        QCOMPARE(run.stored(QStringLiteral("pass")), QStringLiteral("p&ss+1"));
        QCOMPARE(run.stored(QStringLiteral("saldo")), QStringLiteral("250"));
        QCOMPARE(run.panel().balanceLabel()->text(), QStringLiteral("250 créditos"));
        QCOMPARE(run.form().accountLogin(), QStringLiteral("ana"));
        // No sender on this computer yet: the sender administration opens beside the main window,
        // and sending waits for a balance reply.
        QVERIFY(run.form().isVisible());
        QVERIFY(openWindow("Form9"));
        QVERIFY(!run.panel().sendButton()->isEnabled());
    }

    // A known account: the stored figures show at once, and only the balance reply enables sending.
    void theBalanceReplyEnablesSending()
    {
        Run run;
        run.sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"), 1500);
        run.withAccount(QStringLiteral("ana"), QStringLiteral("uno"), QStringLiteral("12"));
        run.sim.armFault(sim::Endpoint::QuoteSms, sim::FaultKind::Delay);
        QCOMPARE(run.start(), startup::StartupStatus::Ready);
        QVERIFY(run.form().isVisible());
        QVERIFY(!openWindow("Form2"));
        QCOMPARE(run.panel().balanceLabel()->text(), QStringLiteral("12 créditos"));
        QCOMPARE(run.panel().costLabel()->text(), QStringLiteral("1 crédito(s)"));
        QCOMPARE(run.panel().senderCombo()->currentText(), QStringLiteral("Tienda"));
        QVERIFY(!run.panel().sendButton()->isEnabled());
        // The gateway named no newer version: the one that ran is recorded.
        QCOMPARE(run.stored(QStringLiteral("version_desktop")), QStringLiteral("2.34"));

        QTRY_COMPARE_WITH_TIMEOUT(run.sim.hangingRequests(), 1, 10000);
        const auto quote = run.sim.lastRequest(sim::Endpoint::QuoteSms);
        QVERIFY(quote);
        QCOMPARE(quote->value("mensaje"), QStringLiteral("Saldo al arrancar Desktop"));
        QCOMPARE(quote->value("ruta"), QStringLiteral("3"));
        QVERIFY(!quote->has("buf"));
        QVERIFY(!run.panel().sendButton()->isEnabled());
        run.sim.releaseHangs();
        QTRY_VERIFY_WITH_TIMEOUT(run.panel().sendButton()->isEnabled(), 10000);
        QCOMPARE(run.panel().balanceLabel()->text(), QStringLiteral("1500 cr."));
        QCOMPARE(run.stored(QStringLiteral("saldo")), QStringLiteral("1500"));
        QVERIFY2(!run.prompter.hasUnexpected(), run.prompter.unexpectedReport().constData());
    }

    void aRefusedBalanceLeavesSendingOff()
    {
        Run run;
        run.sim.addAccount(QStringLiteral("ana"), QStringLiteral("nueva"));
        run.withAccount(QStringLiteral("ana"), QStringLiteral("vieja"), QStringLiteral("12"));
        run.start();
        QTRY_COMPARE_WITH_TIMEOUT(run.prompter.count(), 1, 10000);
        QCOMPARE(run.prompter.lastCall().title, QStringLiteral("Error de autentificacion"));
        QCOMPARE(run.panel().balanceLabel()->text(), QStringLiteral("Desconocido"));
        QVERIFY(!run.panel().sendButton()->isEnabled());
        QCOMPARE(run.stored(QStringLiteral("saldo")), QStringLiteral("12"));
    }

    // Each window the main menu opens directly is enabled and opens, one of each at a time.
    void builtWindowsOpenFromTheMenu()
    {
        Run run;
        run.sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"));
        run.withAccount(QStringLiteral("ana"), QStringLiteral("uno"), QStringLiteral("12"));
        run.start();
        for (const auto &[item, window] :
             {std::pair{"mnuExportarHistorial", "Form18"}, std::pair{"mnuAutomatizar_Configuracion", "Form16"},
              std::pair{"mnuExcelImportar", "Form12"}, std::pair{"mnuExcelExportar", "Form13"},
              std::pair{"mnuAccess_Importar", "Form22"}, std::pair{"mnuFelicitarCumpleaños", "Form20"},
              std::pair{"mnuborraragenda", "Form17"}}) {
            QAction *action = run.form().menuAction(QString::fromUtf8(item));
            QVERIFY2(action->isEnabled(), item);
            action->trigger();
            QWidget *opened = nullptr;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() == QLatin1String(window) && widget->isVisible())
                    opened = widget;
            }
            QVERIFY2(opened, window);
            action->trigger();
            int count = 0;
            for (QWidget *widget : QApplication::topLevelWidgets())
                count += widget->objectName() == QLatin1String(window) && widget->isVisible();
            QCOMPARE(count, 1);
        }
    }

    // "Salir" leaves nothing open: the database is closed as when the window is closed.
    void quitClosesTheDatabase()
    {
        Run run;
        run.sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"));
        run.withAccount(QStringLiteral("ana"), QStringLiteral("uno"), QStringLiteral("12"));
        run.start();
        QVERIFY(run.client->context().connection.isOpen());
        run.form().menuAction(QStringLiteral("mnuSalir"))->trigger();
        QVERIFY(!run.client->context().connection.isOpen());
        QVERIFY(!run.form().isVisible());
    }

    // Closing the program while a send awaits its reply waits for it, with the progress window,
    // so what the gateway charged is in the history before the database closes.
    void closingWaitsForTheSendReply()
    {
        Run run;
        run.sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"), 100);
        run.sim.approveSender(QStringLiteral("ana"), QStringLiteral("Tienda"));
        run.withAccount(QStringLiteral("ana"), QStringLiteral("uno"), QStringLiteral("100"));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.panel().sendButton()->isEnabled(), 10000);
        run.panel().messageBox()->setPlainText(QStringLiteral("Cierre"));
        run.panel().recipientsBox()->setPlainText(QStringLiteral("34600000001"));
        run.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(800)});
        run.panel().sendButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(run.sim.hangingRequests(), 1, 5000);

        QString progress;
        QTimer::singleShot(100, [&progress] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() == QLatin1String("Form4") && widget->isVisible())
                    progress = widget->findChild<QLabel *>(QStringLiteral("SkinLabel1"))->text();
            }
        });
        run.form().close();
        QVERIFY(!run.client->context().connection.isOpen());
        QVERIFY2(!progress.isEmpty(), "no progress window while waiting");

        db::Connection check;
        QVERIFY(run.openDatabase(check));
        QCOMPARE(check.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
        QCOMPARE(check.scalar(QStringLiteral("SELECT mensaje FROM Historial")).toString(), QStringLiteral("Cierre"));
        QCOMPARE(run.sim.requestCount(sim::Endpoint::SendSms), 1);
        QCOMPARE(run.sim.sends().size(), 1);
    }

    // A gateway that never answers holds the end only for the wait's bound.
    void closingWaitIsBounded()
    {
        Run run;
        run.sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"), 100);
        run.withAccount(QStringLiteral("ana"), QStringLiteral("uno"), QStringLiteral("100"));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.panel().sendButton()->isEnabled(), 10000);
        run.panel().messageBox()->setPlainText(QStringLiteral("Cierre"));
        run.panel().recipientsBox()->setPlainText(QStringLiteral("34600000001"));
        run.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Hang, 1, std::chrono::milliseconds(30000)});
        run.panel().sendButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(run.sim.hangingRequests(), 1, 5000);

        run.form().setShutdownWait(std::chrono::milliseconds(300));
        QElapsedTimer clock;
        clock.start();
        run.form().close();
        QVERIFY2(clock.elapsed() < 5000, QByteArray::number(clock.elapsed()).constData());
        QVERIFY(!run.client->context().connection.isOpen());
        run.sim.releaseHangs();
    }
};

QTEST_MAIN(TestStartupSequence)
#include "test_startup_sequence.moc"
