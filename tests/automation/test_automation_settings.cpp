#include "automation_rig.h"

#include "automation/form16.h"
#include "automation/settings_rules.h"
#include "automation/settings_store.h"
#include "startup/brand.h"
#include "support/other_workstation.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// The settings window, its rules and the one settings row; switching automated sending on and off.
class TestAutomationSettings final : public QObject {
    Q_OBJECT

    static QString lastMessage(const testing::ScriptedPrompter &prompter)
    {
        const QStringList texts = prompter.messageTexts();
        return texts.isEmpty() ? QString() : texts.constLast();
    }

private Q_SLOTS:
    // --- rules --------------------------------------------------------------------------------

    void separator_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("valid");
        QTest::newRow("hash") << QStringLiteral("#") << true;
        QTest::newRow("two hashes") << QStringLiteral("##") << true;
        QTest::newRow("comma") << QStringLiteral(",") << false;
        QTest::newRow("two commas") << QStringLiteral(",,") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("five") << QStringLiteral("|;|;|") << true;
        QTest::newRow("six") << QStringLiteral("|;|;|;") << false;
    }
    void separator()
    {
        QFETCH(QString, separator);
        QFETCH(bool, valid);
        QCOMPARE(automation::delimitadorValido(separator), valid);
    }

    void pathRules()
    {
        QCOMPARE(automation::minutosOfrecidos(),
                 (QStringList{QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("15"), QStringLiteral("30"),
                              QStringLiteral("60")}));
        QCOMPARE(automation::minutosOfrecidos().at(automation::kMinutosInicial), QStringLiteral("15"));
        const QString separator = QDir::separator();
        QVERIFY(automation::tieneExtension(separator + QStringLiteral("datos") + separator + QStringLiteral("envio.txt")));
        // The only "." is in a folder's name: the file has no extension.
        QVERIFY(!automation::tieneExtension(separator + QStringLiteral("datos.2026") + separator + QStringLiteral("envio")));
        QVERIFY(!automation::tieneExtension(separator + QStringLiteral("datos.2026") + separator));
        // A drive's root keeps one separator; a folder gets one.
        QCOMPARE(automation::rutaDeCarpeta(QDir::rootPath()), QDir::toNativeSeparators(QDir::rootPath()));
        QCOMPARE(automation::rutaDeCarpeta(QDir::rootPath() + QStringLiteral("datos")),
                 QDir::toNativeSeparators(QDir::rootPath() + QStringLiteral("datos")) + separator);
        QCOMPARE(automation::rutaDeArchivo(QDir::rootPath(), QStringLiteral("a.txt")),
                 QDir::toNativeSeparators(QDir::rootPath()) + QStringLiteral("a.txt"));
        QVERIFY(automation::rutaPorDefecto().endsWith(separator + QStringLiteral("Enviar_SMS.txt")));
    }

    // --- the settings row ---------------------------------------------------------------------

    void savingTwiceLeavesOneStoppedRow()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        QVERIFY(automation::guardarAjustes(rig.conexion, QStringLiteral("15"), QStringLiteral("#"), QStringLiteral("a.txt")).ok());
        QVERIFY(automation::guardarAjustes(rig.conexion, QStringLiteral("30"), QStringLiteral("##"), QStringLiteral("b.txt")).ok());
        QCOMPARE(rig.rows(QStringLiteral("Automatizado")), 1);
        const auto settings = automation::leerAjustes(rig.conexion);
        QVERIFY(settings);
        QCOMPARE(settings->minutos, QStringLiteral("30"));
        QCOMPARE(settings->delimitador, QStringLiteral("##"));
        QCOMPARE(settings->archivo, QStringLiteral("b.txt"));
        QCOMPARE(settings->activo, QStringLiteral("0"));
    }

    // A quote in the path or the separator ended the SQL literal: the insert failed after the
    // delete and the row was gone.
    void quotesAndAccentsAreStoredAsTyped()
    {
        testing::AutomationRig rig;
        const QString path = QStringLiteral("/datos/O'Donnell/envíos 'año'.txt");
        QVERIFY(automation::guardarAjustes(rig.conexion, QStringLiteral("5"), QStringLiteral("'"), path).ok());
        const auto settings = automation::leerAjustes(rig.conexion);
        QVERIFY(settings);
        QCOMPARE(settings->archivo, path);
        QCOMPARE(settings->delimitador, QStringLiteral("'"));
    }

    // A new row that cannot be written leaves the old one in place.
    void failedSaveKeepsTheOldRow()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        QVERIFY(rig.conexion
                    .execute(QStringLiteral("CREATE TRIGGER no_insert BEFORE INSERT ON Automatizado "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END"))
                    .ok());
        QVERIFY(!automation::guardarAjustes(rig.conexion, QStringLiteral("15"), QStringLiteral("#"), QStringLiteral("x.txt")).ok());
        const auto settings = automation::leerAjustes(rig.conexion);
        QVERIFY(settings);
        QCOMPARE(settings->minutos, QStringLiteral("5"));
        QCOMPARE(settings->activo, QStringLiteral("1"));
    }

    // Another workstation held the shared file past the time-out and let go just after; the new
    // row is then refused. The old row must not have gone on its own.
    void saveThatCouldNotBeginKeepsTheOldRow()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        QVERIFY(rig.conexion
                    .execute(QStringLiteral("CREATE TRIGGER no_insert BEFORE INSERT ON Automatizado "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END"))
                    .ok());
        {
            testing::OtherWorkstation other(rig.conexion);
            const db::Result r =
                automation::guardarAjustes(rig.conexion, QStringLiteral("15"), QStringLiteral("#"), QStringLiteral("x.txt"));
            QCOMPARE(r.status, db::Status::Busy);
            QCOMPARE(other.timesGivenUp(), 1);
        }
        const auto settings = automation::leerAjustes(rig.conexion);
        QVERIFY(settings);
        QCOMPARE(settings->minutos, QStringLiteral("5"));
        QCOMPARE(settings->activo, QStringLiteral("1"));
    }

    void noRow()
    {
        testing::AutomationRig rig;
        rig.conexion.execute(QStringLiteral("DELETE FROM Automatizado"));
        QVERIFY(!automation::leerAjustes(rig.conexion));
    }

    // --- the window ---------------------------------------------------------------------------

    void firstOpening()
    {
        testing::AutomationRig rig; // a new database: its row holds no path or separator
        automation::Form16 form(*rig.context);
        QCOMPARE(form.windowTitle(), QStringLiteral("Automatizar envíos"));
        QCOMPARE(form.Combo1()->currentText(), QStringLiteral("15"));
        QCOMPARE(form.Text1()->text(), automation::rutaPorDefecto());
        QCOMPARE(form.Text2()->text(), QStringLiteral("#"));
        QCOMPARE(form.Command1()->text(), QStringLiteral("Guardar"));
        QCOMPARE(form.Command1()->isEnabled(), QFileInfo(automation::rutaPorDefecto()).isFile());

        const auto *example = form.findChild<QLabel *>(QStringLiteral("SkinLabel8"));
        QVERIFY(example);
        QCOMPARE(example->text(), QStringLiteral("600123456#Hola#Demás información ignorada por ") + brand::nombre_marca()
                                      + QStringLiteral(" Desktop"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("SkinLabel2"))->text(),
                 QStringLiteral("Comprobar nuevos mensajes cada "));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("SkinLabel3"))->text(),
                 QStringLiteral("Separador utilizado en el archivo:"));
        QVERIFY(form.findChild<QLabel *>(QStringLiteral("SkinLabel12"))->text().startsWith(QStringLiteral("5.- En el menú Archivo")));
    }

    void reopeningShowsTheStoredRow()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("##"), rig.inbox(QStringLiteral("borrado.txt")));
        automation::Form16 form(*rig.context);
        QCOMPARE(form.Combo1()->currentText(), QStringLiteral("5"));
        QCOMPARE(form.Text2()->text(), QStringLiteral("##"));
        QCOMPARE(form.Text1()->text(), rig.inbox(QStringLiteral("borrado.txt")));
        QVERIFY(!form.Command1()->isEnabled()); // the file is not there
        QCOMPARE(form.carpeta(), QDir(rig.home.file(QStringLiteral("entrada"))).absolutePath());

        QVERIFY(rig.write("600123456#Hola\r\n"));
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched());
        automation::Form16 existing(*rig.context);
        QVERIFY(existing.Command1()->isEnabled());
    }

    void unknownIntervalLeavesFifteen()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("7"));
        automation::Form16 form(*rig.context);
        QCOMPARE(form.Combo1()->currentText(), QStringLiteral("15"));
    }

    void saveButtonFollowsTheBoxes()
    {
        testing::AutomationRig rig;
        QVERIFY(rig.write("x"));
        rig.settings(QStringLiteral("15"));
        automation::Form16 form(*rig.context);
        QVERIFY(form.Command1()->isEnabled());

        form.Text2()->clear();
        QVERIFY(!form.Command1()->isEnabled());
        form.Text2()->setText(QStringLiteral("#"));
        QVERIFY(!form.Command1()->isEnabled()); // a separator again does not enable it
        form.Text1()->setText(rig.inbox(QStringLiteral("otro.csv")));
        QVERIFY(form.Command1()->isEnabled());

        const QString separator = QDir::separator();
        form.Text1()->setText(rig.home.path() + separator + QStringLiteral("carpeta.2026") + separator + QStringLiteral("envio"));
        QVERIFY(!form.Command1()->isEnabled());

        form.Dir1_Change(rig.home.file(QStringLiteral("entrada")));
        QCOMPARE(form.Text1()->text(), QDir::toNativeSeparators(rig.home.file(QStringLiteral("entrada"))) + separator);
        QVERIFY(!form.Command1()->isEnabled());
        form.File1_Click(QStringLiteral("Enviar_SMS.txt"));
        QCOMPARE(form.Text1()->text(), QDir::toNativeSeparators(rig.watched()));
        QVERIFY(form.Command1()->isEnabled());

        form.Dir1_Change(QDir::rootPath());
        QCOMPARE(form.Text1()->text(), QDir::toNativeSeparators(QDir::rootPath()));
        QVERIFY(!form.Text1()->text().endsWith(separator + separator));
    }

    void unreadableDrive()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("15"));
        QVERIFY(rig.write("x"));
        automation::Form16 form(*rig.context);
        QVERIFY(form.Command1()->isEnabled());
        form.Drive1_Change(rig.home.file(QStringLiteral("no-existe")));
        QCOMPARE(lastMessage(rig.prompter), QStringLiteral("La unidad no contiene disco o está vacía."));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error"));
        QCOMPARE(form.Text1()->text(), automation::rutaDeCarpeta(form.Drive1()->itemData(0).toString()));
        QVERIFY(!form.Command1()->isEnabled());
    }

    // Typing stops at 250 characters, but a longer path put there by the lists could not be
    // edited at all: every key was refused, deleting included.
    void longPathCanBeEditedDown()
    {
        testing::AutomationRig rig;
        automation::Form16 form(*rig.context);
        form.show();
        form.Text1()->setFocus();
        form.Text1()->setText(QString(250, QLatin1Char('a')));
        form.Text1()->end(false);
        QTest::keyClicks(form.Text1(), QStringLiteral("bc"));
        QCOMPARE(form.Text1()->text().size(), 250);

        form.Text1()->setText(QString(300, QLatin1Char('a')));
        form.Text1()->end(false);
        QTest::keyClick(form.Text1(), Qt::Key_Backspace);
        QCOMPARE(form.Text1()->text().size(), 299);
        QTest::keyClicks(form.Text1(), QStringLiteral("b"));
        QCOMPARE(form.Text1()->text().size(), 299); // growing past what it holds is still refused
    }

    void commaSeparatorIsRefused()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        automation::Form16 form(*rig.context);
        QSignalSpy saved(&form, &automation::Form16::guardado);
        form.Text2()->setText(QStringLiteral(","));
        form.Command1_Click();
        QCOMPARE(lastMessage(rig.prompter),
                 QStringLiteral("El delimitador no puede ser un campo vacío, o una coma ','. Por favor, reviselo."));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Delimitador incorrecto"));
        QCOMPARE(saved.count(), 0);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT activo FROM Automatizado")), QStringLiteral("1"));
    }

    void savingStoresTheBoxes()
    {
        testing::AutomationRig rig;
        automation::Form16 form(*rig.context);
        form.show();
        QSignalSpy saved(&form, &automation::Form16::guardado);
        form.Combo1()->setCurrentIndex(3);
        form.Text2()->setText(QStringLiteral(",,"));
        form.Text1()->setText(rig.inbox(QStringLiteral("salida.txt")));
        form.Command1_Click();
        QCOMPARE(saved.count(), 1);
        QVERIFY(!form.isVisible());
        QCOMPARE(lastMessage(rig.prompter),
                 QStringLiteral("Configuración guardada. Para que el programa empiece a comprobar nuevos envíos, haga "
                                "click en el menú 'Activar'"));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Configuración guardada"));
        QCOMPARE(rig.rows(QStringLiteral("Automatizado")), 1);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT minutos || '|' || delimitador || '|' || archivo || '|' || activo "
                                           "FROM Automatizado")),
                 QStringLiteral("30|,,|") + rig.inbox(QStringLiteral("salida.txt")) + QStringLiteral("|0"));
    }

    // --- switching on and off -----------------------------------------------------------------

    void startWithoutRowOpensTheSettings()
    {
        testing::AutomationRig rig;
        rig.conexion.execute(QStringLiteral("DELETE FROM Automatizado"));
        rig.automation->toggle();
        QVERIFY(!rig.comenzar->isEnabled());
        QVERIFY(!rig.automation->isOn());
        automation::Form16 *form = rig.automation->settingsWindow();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        rig.automation->openSettings(); // one at a time
        QCOMPARE(rig.automation->settingsWindow(), form);

        form->Text1()->setText(rig.watched());
        form->Command1_Click();
        QVERIFY(rig.comenzar->isEnabled());
        QCOMPARE(rig.comenzar->text(), QStringLiteral("Comenzar"));
        QVERIFY(!rig.automation->settingsWindow()); // closed: the next opening builds it afresh
    }

    void startAndStop()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("15"));
        rig.automation->toggle();
        QCOMPARE(rig.comenzar->text(), QStringLiteral("Detener"));
        QVERIFY(rig.automation->isOn());
        QCOMPARE(rig.automation->timer().interval(), 60000);
        QCOMPARE(rig.automation->countdown(), 15);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT activo FROM Automatizado")), QStringLiteral("1"));

        rig.automation->toggle();
        QCOMPARE(rig.comenzar->text(), QStringLiteral("Comenzar"));
        QVERIFY(!rig.automation->isOn());
        QCOMPARE(rig.automation->countdown(), 0);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT activo FROM Automatizado")), QStringLiteral("0"));
    }

    void startUpResumes()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("30"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        const auto state = rig.automation->restoreAtStartup();
        QVERIFY(state.hasRow);
        QVERIFY(state.running);
        QVERIFY(rig.automation->isOn());
        QCOMPARE(rig.automation->countdown(), 30);

        testing::AutomationRig stopped;
        stopped.settings(QStringLiteral("30"));
        const auto off = stopped.automation->restoreAtStartup();
        QVERIFY(off.hasRow);
        QVERIFY(!off.running);
        QVERIFY(!stopped.automation->isOn());

        testing::AutomationRig none;
        none.conexion.execute(QStringLiteral("DELETE FROM Automatizado"));
        QVERIFY(!none.automation->restoreAtStartup().hasRow);
    }

    // Saving while sending is on keeps it on for this run, stored as stopped for the next start.
    void savingWhileOn()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("15"));
        rig.automation->toggle();
        rig.automation->openSettings();
        automation::Form16 *form = rig.automation->settingsWindow();
        QVERIFY(form);
        form->Text1()->setText(rig.watched());
        form->Command1_Click();
        QCOMPARE(rig.comenzar->text(), QStringLiteral("Detener"));
        QVERIFY(rig.automation->isOn());
        QCOMPARE(rig.scalar(QStringLiteral("SELECT activo FROM Automatizado")), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestAutomationSettings)
#include "test_automation_settings.moc"
