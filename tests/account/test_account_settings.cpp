#include "dialog_fixture.h"

#include "platform/net/too_large_reply.h"

#include "account/account_check.h"
#include "account/account_settings.h"
#include "account/account_settings_dialog.h"
#include "account/missing_account_dialog.h"
#include "account/sender_admin_dialog.h"
#include "platform/ui/progress_dialog.h"
#include "support/other_workstation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using account::AccountCheckReply;

class TestAccountSettings final : public QObject {
    Q_OBJECT

    std::unique_ptr<DialogFixture> f;

    account::AccountSettingsDialog *open() { return f->windows->showAccountSettings(); }

    // Presses "Guardar" and waits until the reply has been handled.
    bool saveAndWait(account::AccountSettingsDialog *form)
    {
        QSignalSpy handled(form, &account::AccountSettingsDialog::checkHandled);
        form->saveAccount();
        return handled.wait(10000);
    }

private Q_SLOTS:
    void init() { f = std::make_unique<DialogFixture>(); }
    void cleanup() { f.reset(); }

    void replyParsing_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("balance");
        const int accepted = int(AccountCheckReply::Kind::Accepted);
        const int refused = int(AccountCheckReply::Kind::Refused);
        const int other = int(AccountCheckReply::Kind::Other);
        QTest::newRow("balance") << "0|Ticket price|1|250" << accepted << "250";
        QTest::newRow("longer cost") << "0|Ticket price|0.825|1500" << accepted << "1500";
        QTest::newRow("decimal comma, blanks") << "0|Ticket price|1| 12,5 " << accepted << "12.5";
        QTest::newRow("refused") << "3|Authentication failure|" << refused << "";
        QTest::newRow("empty") << "" << other << "";
        QTest::newRow("error page") << "Not Found" << other << "";
        QTest::newRow("no balance") << "0|Ticket price|1" << other << "";
        QTest::newRow("balance not a number") << "0|Ticket price|1|abc" << other << "";
    }
    void replyParsing()
    {
        QFETCH(QString, reply);
        QFETCH(int, kind);
        QFETCH(QString, balance);
        const AccountCheckReply parsed = account::parseAccountCheck(reply);
        QCOMPARE(int(parsed.kind), kind);
        QCOMPARE(parsed.balance, balance);
    }

    void openingWithoutAccountShowsDefaults()
    {
        account::AccountSettingsDialog *form = open();
        QVERIFY(form->loginBox->text().isEmpty());
        QVERIFY(form->premiumOption->isChecked());
        QCOMPARE(form->timeZoneCombo->currentText(), QStringLiteral("GMT +01:00"));
        QVERIFY(!form->unknownNumberCheck->isChecked());
        QCOMPARE(form->unknownNumberCombo->currentText(), QStringLiteral("Preguntar"));
        QVERIFY(!form->manageSendersButton->isEnabled());
        QCOMPARE(form->senderCombo->count(), 0);
    }

    void openingLoadsTheRow()
    {
        f->addAccountRow(QStringLiteral("ana"), QStringLiteral("x"));
        f->connection.execute(QStringLiteral("UPDATE Usuario SET ruta='1', huso_horario='GMT +99:00', "
                                           "defecto_agenda='No preguntar', ruta_bbdd='/srv/bbdd.mdb'"));
        f->addSenderRow(QStringLiteral("A"), true);
        f->addSenderRow(QStringLiteral("B"), true);
        f->addSenderRow(QStringLiteral("C"));
        account::AccountSettingsDialog *form = open();
        QCOMPARE(form->loginBox->text(), QStringLiteral("ana"));
        QVERIFY(form->economyOption->isChecked());
        QCOMPARE(form->timeZoneCombo->currentIndex(), -1);
        QVERIFY(form->unknownNumberCheck->isChecked());
        QCOMPARE(form->unknownNumberCombo->currentText(), QStringLiteral("No preguntar"));
        QVERIFY(form->manageSendersButton->isEnabled());
        QCOMPARE(form->sharedPathBox->text(), QStringLiteral("/srv/bbdd.mdb"));
        QCOMPARE(form->senderCombo->currentText(), QStringLiteral("B"));
    }

    // A combo box selects its first item by itself; without a default row the last sender is chosen.
    void noDefaultSenderSelectsTheLast()
    {
        f->addAccountRow(QStringLiteral("ana"), QStringLiteral("x"));
        f->addSenderRow(QStringLiteral("A"));
        f->addSenderRow(QStringLiteral("B"));
        f->addSenderRow(QStringLiteral("C"));
        account::AccountSettingsDialog *form = open();
        QCOMPARE(form->senderCombo->currentText(), QStringLiteral("C"));
    }

    // A first save: the account check goes out encoded, and the row holds exactly what it verified.
    void firstSaveStoresTheVerifiedAccount()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("p&ss+w rd"), 250);
        account::AccountSettingsDialog *form = open();
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("p&ss+w rd"));
        f->prompter.setOnCall([&](const testing::ScriptedPrompter::Call &) {
            // The row and the labels are written before the box comes up.
            QCOMPARE(f->accountValue(QStringLiteral("saldo")), QStringLiteral("250"));
        });
        QSignalSpy handled(form, &account::AccountSettingsDialog::checkHandled);
        form->saveAccount();
        QVERIFY(f->windows->progress());
        QCOMPARE(f->windows->progress()->text(), QStringLiteral("Comprobando datos de usuario..."));
        QVERIFY(handled.wait(10000));

        const auto sent = f->sim.lastRequest(sim::Endpoint::CostQuote);
        QVERIFY(sent);
        QCOMPARE(sent->value("password"), QStringLiteral("p&ss+w rd"));
        QCOMPARE(sent->value("buf"), QStringLiteral("0"));
        QCOMPARE(f->accountValue(QStringLiteral("login")), QStringLiteral("ana"));
        QCOMPARE(f->accountValue(QStringLiteral("pass")), QStringLiteral("p&ss+w rd"));
        QCOMPARE(f->accountValue(QStringLiteral("ruta")), QStringLiteral("3"));
        QCOMPARE(f->accountValue(QStringLiteral("huso_horario")), QStringLiteral("GMT +01:00"));
        QCOMPARE(f->accountValue(QStringLiteral("defecto_agenda")), QStringLiteral("Preguntar"));
        QCOMPARE(f->main.balance, QStringLiteral("250"));
        QCOMPARE(f->main.cost, QStringLiteral("1 crédito"));
        QCOMPARE(f->main.login, QStringLiteral("ana"));
        QCOMPARE(f->prompter.messageTexts().last(), QStringLiteral("Datos de usuario guardados correctamente"));
        QVERIFY(form->manageSendersButton->isEnabled());
        QVERIFY(!f->windows->progress() || f->windows->progress()->text() != QStringLiteral("Comprobando datos de usuario..."));
        // No sender yet: the sender administration opens in front and sending stays off.
        QVERIFY(f->windows->senderAdmin());
        QVERIFY(f->windows->senderAdmin()->isVisible());
        QCOMPARE(f->main.shown, 1);
        QCOMPARE(f->main.focused, 1);
        QVERIFY(!f->main.sendEnabled);
        f->prompter.setOnCall({});

        // A second save updates the row; an unticked default is then stored empty.
        form->economyOption->setChecked(true);
        f->main.recipients = QStringLiteral("600111222");
        QVERIFY(saveAndWait(form));
        QCOMPARE(f->sim.lastRequest(sim::Endpoint::CostQuote)->value("buf"), QStringLiteral("1"));
        QCOMPARE(f->connection.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 1);
        QCOMPARE(f->accountValue(QStringLiteral("ruta")), QStringLiteral("1"));
        QCOMPARE(f->accountValue(QStringLiteral("defecto_agenda")), QString());
        QCOMPARE(f->main.cost, QStringLiteral("1 crédito"));   // recipients present: left alone
    }

    // The saved-account box and the sender window's answer come one at a time: while the first is
    // up, no request of the sender window is out to bring its own box on top of it.
    void savedBoxAndSenderWindowBoxComeOneAtATime()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"), 250);
        f->sim.armCustomReply(sim::Endpoint::SenderList, QStringLiteral("2|Error|"));
        account::AccountSettingsDialog *form = open();
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("uno"));
        int depth = 0;
        int deepest = 0;
        f->prompter.setOnCall([&](const testing::ScriptedPrompter::Call &) {
            deepest = std::max(deepest, ++depth);
            // A box is modal: whatever reply is out arrives while it is up.
            if (account::SenderAdminDialog *senders = f->windows->senderAdmin(); senders && senders->requestPending()) {
                QSignalSpy answered(senders, &account::SenderAdminDialog::replyHandled);
                answered.wait(10000);
            }
            --depth;
        });
        QVERIFY(saveAndWait(form));
        QVERIFY(f->windows->senderAdmin());
        QTRY_VERIFY_WITH_TIMEOUT(!f->windows->senderAdmin()->requestPending(), 10000);
        QCOMPARE(deepest, 1);
        const QStringList texts = f->prompter.messageTexts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.first(), QStringLiteral("Datos de usuario guardados correctamente"));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Error"));
        QVERIFY(f->windows->senderAdmin()->isVisible());
        QVERIFY(!f->main.sendEnabled);
        f->prompter.setOnCall({});
    }

    // The shared file was held past the time-out and freed just after: the verified account is
    // not written outside a transaction while the caller is told the save failed.
    void accountThatCouldNotBeginIsNotWritten()
    {
        account::VerifiedAccount account;
        account.login = QStringLiteral("ana");
        account.pass = QStringLiteral("uno");
        account.route = QStringLiteral("3");
        account.balance = QStringLiteral("250");
        account.timeZone = QStringLiteral("GMT +01:00");
        {
            testing::OtherWorkstation other(f->connection);
            QCOMPARE(account::storeVerifiedAccount(f->connection, account).status, db::Status::Busy);
            QCOMPARE(other.timesGivenUp(), 1);
        }
        QCOMPARE(f->connection.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 0);
        QVERIFY(account::storeVerifiedAccount(f->connection, account).ok());
        QCOMPARE(f->accountValue(QStringLiteral("login")), QStringLiteral("ana"));
    }

    void wrongPasswordWritesNothing()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("buena"));
        account::AccountSettingsDialog *form = open();
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("mala"));
        QVERIFY(saveAndWait(form));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Error de autentificacion"));
        QCOMPARE(f->prompter.lastCall().text,
                 QStringLiteral("Autentificación fallida. El usuario y/o la contraseña no son correctos"));
        QCOMPARE(f->connection.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 0);
        QVERIFY(f->main.balance.isEmpty());
        QVERIFY(!f->windows->progress());
    }

    // What the gateway verified is stored, not what was typed while the check was out.
    void editWhilePendingStoresTheCheckedValues()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"), 12);
        f->sim.armFault(sim::Endpoint::CostQuote, sim::FaultKind::Delay);
        account::AccountSettingsDialog *form = open();
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("uno"));
        QSignalSpy handled(form, &account::AccountSettingsDialog::checkHandled);
        form->saveAccount();
        QTRY_COMPARE_WITH_TIMEOUT(f->sim.hangingRequests(), 1, 10000);
        form->loginBox->setText(QStringLiteral("otro"));
        form->passwordBox->setText(QStringLiteral("dos"));
        form->economyOption->setChecked(true);
        form->timeZoneCombo->setCurrentIndex(0);
        f->sim.releaseHangs();
        QVERIFY(handled.wait(10000));
        QCOMPARE(f->accountValue(QStringLiteral("login")), QStringLiteral("ana"));
        QCOMPARE(f->accountValue(QStringLiteral("pass")), QStringLiteral("uno"));
        QCOMPARE(f->accountValue(QStringLiteral("ruta")), QStringLiteral("3"));
        QCOMPARE(f->accountValue(QStringLiteral("huso_horario")), QStringLiteral("GMT +01:00"));
        QCOMPARE(f->main.balance, QStringLiteral("12"));
    }

    // Pressing "Guardar" again replaces the check still out: one reply, for the newer values.
    void secondPressReplacesThePendingCheck()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"), 7);
        f->sim.armFault(sim::Endpoint::CostQuote, sim::FaultKind::Hang);
        account::AccountSettingsDialog *form = open();
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("mala"));
        QSignalSpy handled(form, &account::AccountSettingsDialog::checkHandled);
        form->saveAccount();
        QTRY_COMPARE_WITH_TIMEOUT(f->sim.hangingRequests(), 1, 10000);
        form->passwordBox->setText(QStringLiteral("uno"));
        form->saveAccount();
        QVERIFY(handled.wait(10000));
        f->sim.releaseHangs();
        QCOMPARE(handled.count(), 1);
        QCOMPARE(f->accountValue(QStringLiteral("pass")), QStringLiteral("uno"));
        QCOMPARE(f->prompter.messageTexts(), QStringList{QStringLiteral("Datos de usuario guardados correctamente")});
        QVERIFY(!form->checkPending());
    }

    void timeOutTakesTheConnectionMessage()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"));
        f->sim.armFault(sim::Endpoint::CostQuote, sim::FaultKind::Hang);
        account::AccountSettingsDialog *form = open();
        form->channel().setTimeout(300ms);
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("uno"));
        QVERIFY(saveAndWait(form));
        f->sim.releaseHangs();
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Conexión fallida"));
        QVERIFY(!f->windows->progress());
        QCOMPARE(f->connection.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 0);
    }

    void checkPastTheCapIsTooLargeNotAConnectionFailure()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"), 12);
        account::AccountSettingsDialog *form = open();
        // The cap lowered below the reply stands in for a reply past the real one.
        form->channel().setReplyLimit(4);
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("uno"));
        QVERIFY(saveAndWait(form));
        QCOMPARE(f->prompter.messageTexts(), QStringList{net::kTooLargeReplyMessage});
        QCOMPARE(f->prompter.lastCall().title, net::kTooLargeReplyTitle);
        QVERIFY(!f->prompter.lastCall().text.contains(QStringLiteral("conexión")));
        QVERIFY(!f->windows->progress());
        QVERIFY(!form->checkPending());
        QCOMPARE(f->connection.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 0);
        QVERIFY(f->main.balance.isEmpty());
    }

    void networkFailureTakesTheConnectionMessage()
    {
        account::AccountSettingsDialog *form = open();
        f->sim.stop();
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("uno"));
        QVERIFY(saveAndWait(form));
        QCOMPARE(f->prompter.lastCall().text,
                 QStringLiteral("Error de conexión. Compruebe que dispone de conexión a Internet. Si el problema "
                                "persiste pongase en contacto con el administrador."));
        QVERIFY(!f->windows->progress());
    }

    // A shared path typed together with a new account on a first run survives the account's insert.
    void sharedPathOnFirstRunIsKept()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"));
        account::AccountSettingsDialog *form = open();
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("uno"));
        form->sharedPathBox->setText(QStringLiteral("/srv/compartida/bbdd.mdb"));
        QVERIFY(saveAndWait(form));
        QCOMPARE(f->prompter.messageTexts().first(),
                 QStringLiteral("Por favor, cierre y vuelva a iniciar Brisanta Desktop para que los cambios se hagan "
                                "efectivos."));
        QCOMPARE(f->connection.scalar(QStringLiteral("SELECT count(*) FROM Usuario")).toInt(), 1);
        QCOMPARE(f->accountValue(QStringLiteral("ruta_bbdd")), QStringLiteral("/srv/compartida/bbdd.mdb"));
        QCOMPARE(f->accountValue(QStringLiteral("login")), QStringLiteral("ana"));
        // Still the first account: no default ticked gives "Preguntar", as a new row always had.
        QCOMPARE(f->accountValue(QStringLiteral("defecto_agenda")), QStringLiteral("Preguntar"));
    }

    // On an empty table the path alone is stored, so the restart message is not an empty promise;
    // with no account data nothing goes to the gateway.
    void pathWithoutAccountIsStored()
    {
        account::AccountSettingsDialog *form = open();
        form->sharedPathBox->setText(QStringLiteral("/srv/o'neil/bbdd.mdb"));
        form->saveAccount();
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->accountValue(QStringLiteral("ruta_bbdd")), QStringLiteral("/srv/o'neil/bbdd.mdb"));
        QCOMPARE(f->sim.requestCount(sim::Endpoint::CostQuote), 0);
        form->saveAccount();   // unchanged now: nothing at all
        QCOMPARE(f->prompter.count(), 1);

        // Reopened, the path alone is no account: the account fields keep their defaults.
        form->close();
        QTRY_VERIFY(!f->windows->accountSettings());
        form = open();
        QCOMPARE(form->sharedPathBox->text(), QStringLiteral("/srv/o'neil/bbdd.mdb"));
        QVERIFY(form->loginBox->text().isEmpty());
        QCOMPARE(form->timeZoneCombo->currentText(), QStringLiteral("GMT +01:00"));
        QVERIFY(!form->unknownNumberCheck->isChecked());
        QVERIFY(!form->manageSendersButton->isEnabled());
    }

    void noZoneSelectedNeverStoresEmpty()
    {
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"));
        account::AccountSettingsDialog *form = open();
        form->loginBox->setText(QStringLiteral("ana"));
        form->passwordBox->setText(QStringLiteral("uno"));
        form->timeZoneCombo->setCurrentIndex(-1);
        QVERIFY(saveAndWait(form));
        QCOMPARE(f->accountValue(QStringLiteral("huso_horario")), QStringLiteral("GMT +01:00"));

        // A stored zone outside the list is kept rather than blanked.
        f->connection.execute(QStringLiteral("UPDATE Usuario SET huso_horario='GMT +99:00'"));
        form->close();
        QTRY_VERIFY(!f->windows->accountSettings());
        form = open();
        QCOMPARE(form->timeZoneCombo->currentIndex(), -1);
        QVERIFY(saveAndWait(form));
        QCOMPARE(f->accountValue(QStringLiteral("huso_horario")), QStringLiteral("GMT +99:00"));
    }

    void defaultSender()
    {
        f->addAccountRow(QStringLiteral("ana"), QStringLiteral("uno"));
        f->addSenderRow(QStringLiteral("A"), true);
        f->addSenderRow(QStringLiteral("B"));
        account::AccountSettingsDialog *form = open();
        form->senderCombo->setCurrentIndex(1);
        form->makeSenderDefault();
        QCOMPARE(f->connection.scalar(QStringLiteral("SELECT remitente FROM Remitentes WHERE defecto=1")).toString(),
                 QStringLiteral("B"));
        QCOMPARE(f->connection.scalar(QStringLiteral("SELECT count(*) FROM Remitentes WHERE defecto=1")).toInt(), 1);
        QCOMPARE(f->main.selected, QStringLiteral("B"));
        QCOMPARE(f->prompter.lastCall().text, QStringLiteral("El remitente B se ha fijado como predeterminado."));

        form->senderCombo->setCurrentIndex(-1);
        form->makeSenderDefault();
        QCOMPARE(f->prompter.lastCall().text, QStringLiteral("Debes seleccionar primero un remitente válido."));
    }

    void closingShowsTheMainWindowAndManageAsksThePassword()
    {
        f->addAccountRow(QStringLiteral("ana"), QStringLiteral("uno"));
        account::AccountSettingsDialog *form = open();
        form->manageSenders();
        QVERIFY(f->windows->passwordPrompt());
        QCOMPARE(f->windows->passwordPrompt()->code(), QStringLiteral("9"));
        form->onCloseClicked();
        QCOMPARE(f->main.shown, 1);
        QTRY_VERIFY(!f->windows->accountSettings());
    }

    void missingAccountWindow()
    {
        account::MissingAccountDialog *form = f->windows->showMissingAccount();
        QVERIFY(form->messageLabel->text().endsWith(QStringLiteral("gratuita en 127.0.0.1:")
                                                  + QString::number(f->sim.port())));
        QCOMPARE(form->registerButton->text(), QStringLiteral("Deseo registrarme en Brisanta"));
        form->openRegistration();
        form->openRegistration();
        QCOMPARE(f->shell.urls(), QStringList(2, f->sim.baseUrl() + QStringLiteral("extranet/")));
        form->alreadyRegisteredButton->click();
        QTRY_VERIFY(!f->windows->missingAccount());
    }

    void progressWindowFillsAndStops()
    {
        ui::ProgressDialog progress;
        progress.start(QStringLiteral("Solicitando remitente..."));
        QCOMPARE(progress.value(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(progress.value(), 147, 10000);
        progress.finish();
        QCOMPARE(progress.value(), ui::ProgressDialog::kMaximum);
        QVERIFY(!progress.timer().isActive());
    }
};

QTEST_MAIN(TestAccountSettings)
#include "test_account_settings.moc"
