// Automated sending inside the whole client: the start-up resumes it from the stored row, and the
// main menu's items open the settings window and switch sending on and off.
#include "automation/birthdays/birthday_greetings_window.h"
#include "automation/automation_settings_dialog.h"
#include "platform/db/connection.h"
#include "app/main_window/main_window.h"
#include "support/client_rig.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

struct Run : testing::ClientRig {
    // The database as an earlier run left it: an account, and the automation row when given.
    explicit Run(const std::optional<QStringList> &storedRow)
    {
        sim.addAccount(QStringLiteral("ana"), QStringLiteral("uno"));
        db::Connection setup;
        QVERIFY(openDatabase(setup));
        setup.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,version_desktop) "
                                     "VALUES ('ana','uno','3','12','GMT +01:00','2.34')"));
        setup.execute(QStringLiteral("INSERT INTO Remitentes (remitente,defecto) VALUES ('Tienda',1)"));
        setup.execute(QStringLiteral("DELETE FROM Automatizado"));
        if (storedRow)
            setup.execute(QStringLiteral("INSERT INTO Automatizado (minutos,delimitador,archivo,activo) VALUES (?1,?2,?3,?4)"),
                          {storedRow->value(0), storedRow->value(1), storedRow->value(2), storedRow->value(3)});
        client = std::make_unique<app::Client>(prompter, shell);
        client->start();
    }
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    QAction *item(const char *name) { return client->mainWindow().menuAction(QString::fromLatin1(name)); }
    QString active()
    {
        return client->context().connection.scalar(QStringLiteral("SELECT activo FROM Automatizado")).toString();
    }
};

automation::AutomationSettingsDialog *findSettingsDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<automation::AutomationSettingsDialog *>(widget);
            form && form->isVisible() && form->testAttribute(Qt::WA_DeleteOnClose))
            return form;
    }
    return nullptr;
}

automation::birthdays::BirthdayGreetingsWindow *findBirthdayWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<automation::birthdays::BirthdayGreetingsWindow *>(widget);
            form && form->isVisible() && form->testAttribute(Qt::WA_DeleteOnClose))
            return form;
    }
    return nullptr;
}

} // namespace

class TestAutomationClient final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startUpResumesAndTheMenuSwitches()
    {
        Run run(QStringList{QStringLiteral("15"), QStringLiteral("#"), QStringLiteral("/nada/Enviar_SMS.txt"),
                            QStringLiteral("1")});
        QAction *startItem = run.item("mnuAutomatizar_Comenzar");
        QCOMPARE(startItem->text(), QStringLiteral("Detener"));
        QVERIFY(startItem->isEnabled());

        startItem->trigger();
        QCOMPARE(startItem->text(), QStringLiteral("Comenzar"));
        QCOMPARE(run.active(), QStringLiteral("0"));
        startItem->trigger();
        QCOMPARE(startItem->text(), QStringLiteral("Detener"));
        QCOMPARE(run.active(), QStringLiteral("1"));

        QAction *settingsItem = run.item("mnuAutomatizar_Configuracion");
        QVERIFY(settingsItem->isEnabled());
        settingsItem->trigger();
        automation::AutomationSettingsDialog *form = findSettingsDialog();
        QVERIFY(form);
        QCOMPARE(form->intervalCombo()->currentText(), QStringLiteral("15"));
        settingsItem->trigger();
        QCOMPARE(findSettingsDialog(), form); // one at a time
    }

    // Without the row the item starts disabled; saving the settings window enables it.
    void noRowUntilSaved()
    {
        Run run(std::nullopt);
        QAction *startItem = run.item("mnuAutomatizar_Comenzar");
        QVERIFY(!startItem->isEnabled());
        QCOMPARE(startItem->text(), QStringLiteral("Comenzar"));
        run.item("mnuAutomatizar_Configuracion")->trigger();
        automation::AutomationSettingsDialog *form = findSettingsDialog();
        QVERIFY(form);
        form->pathBox()->setText(run.home.file(QStringLiteral("Enviar_SMS.txt")));
        form->save();
        QVERIFY(startItem->isEnabled());
        QCOMPARE(run.active(), QStringLiteral("0"));
        startItem->trigger();
        QCOMPARE(startItem->text(), QStringLiteral("Detener"));
        QCOMPARE(run.active(), QStringLiteral("1"));
    }

    // A new database's row holds no file and no separator: that is no settings yet, so
    // "Comenzar" opens the settings window instead of switching on a sending that reads nothing.
    void emptyRowOpensTheSettings()
    {
        Run run(QStringList{QString(), QString(), QString(), QStringLiteral("0")});
        QAction *startItem = run.item("mnuAutomatizar_Comenzar");
        QVERIFY(startItem->isEnabled());
        startItem->trigger();
        QVERIFY(findSettingsDialog());
        QCOMPARE(startItem->text(), QStringLiteral("Comenzar"));
        QCOMPARE(run.active(), QStringLiteral("0"));
        findSettingsDialog()->close();
    }

    // "Felicitar cumpleaños" opens one birthday window, which reaches the gateway's form page.
    void birthdayWindowFromTheMenu()
    {
        Run run(std::nullopt);
        QAction *birthdayItem = run.client->mainWindow().menuAction(QStringLiteral("mnuFelicitarCumpleaños"));
        QVERIFY(birthdayItem);
        QVERIFY(birthdayItem->isEnabled());
        birthdayItem->trigger();
        automation::birthdays::BirthdayGreetingsWindow *form = findBirthdayWindow();
        QVERIFY(form);
        QSignalSpy spy(form, &automation::birthdays::BirthdayGreetingsWindow::pageHandled);
        QVERIFY(spy.wait(8000));
        QVERIFY(form->isFormReady());
        birthdayItem->trigger();
        QCOMPARE(findBirthdayWindow(), form); // one at a time
        form->close();
        QVERIFY(!findBirthdayWindow());
    }
};

QTEST_MAIN(TestAutomationClient)
#include "test_automation_client.moc"
