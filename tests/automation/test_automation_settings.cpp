#include "automation_rig.h"

#include "automation/automation_settings_dialog.h"
#include "automation/settings_rules.h"
#include "automation/settings_store.h"
#include "brand/brand.h"
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
        QCOMPARE(automation::isValidSeparator(separator), valid);
    }

    void pathRules()
    {
        QCOMPARE(automation::offeredIntervals(),
                 (QStringList{QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("15"), QStringLiteral("30"),
                              QStringLiteral("60")}));
        QCOMPARE(automation::offeredIntervals().at(automation::kInitialIntervalIndex), QStringLiteral("15"));
        const QString separator = QDir::separator();
        QVERIFY(automation::hasExtension(separator + QStringLiteral("datos") + separator + QStringLiteral("envio.txt")));
        // The only "." is in a folder's name: the file has no extension.
        QVERIFY(!automation::hasExtension(separator + QStringLiteral("datos.2026") + separator + QStringLiteral("envio")));
        QVERIFY(!automation::hasExtension(separator + QStringLiteral("datos.2026") + separator));
        // A drive's root keeps one separator; a folder gets one.
        QCOMPARE(automation::pathForFolder(QDir::rootPath()), QDir::toNativeSeparators(QDir::rootPath()));
        QCOMPARE(automation::pathForFolder(QDir::rootPath() + QStringLiteral("datos")),
                 QDir::toNativeSeparators(QDir::rootPath() + QStringLiteral("datos")) + separator);
        QCOMPARE(automation::pathForFile(QDir::rootPath(), QStringLiteral("a.txt")),
                 QDir::toNativeSeparators(QDir::rootPath()) + QStringLiteral("a.txt"));
        QVERIFY(automation::defaultWatchedPath().endsWith(separator + QStringLiteral("Enviar_SMS.txt")));
    }

    // --- the settings row ---------------------------------------------------------------------

    void savingTwiceLeavesOneStoppedRow()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        QVERIFY(automation::writeSettings(rig.connection, QStringLiteral("15"), QStringLiteral("#"), QStringLiteral("a.txt")).ok());
        QVERIFY(automation::writeSettings(rig.connection, QStringLiteral("30"), QStringLiteral("##"), QStringLiteral("b.txt")).ok());
        QCOMPARE(rig.rows(QStringLiteral("Automatizado")), 1);
        const auto settings = automation::readSettings(rig.connection);
        QVERIFY(settings);
        QCOMPARE(settings->minutes, QStringLiteral("30"));
        QCOMPARE(settings->separator, QStringLiteral("##"));
        QCOMPARE(settings->file, QStringLiteral("b.txt"));
        QCOMPARE(settings->active, QStringLiteral("0"));
    }

    // A quote in the path or the separator ended the SQL literal: the insert failed after the
    // delete and the row was gone.
    void quotesAndAccentsAreStoredAsTyped()
    {
        testing::AutomationRig rig;
        const QString path = QStringLiteral("/datos/O'Donnell/envíos 'año'.txt");
        QVERIFY(automation::writeSettings(rig.connection, QStringLiteral("5"), QStringLiteral("'"), path).ok());
        const auto settings = automation::readSettings(rig.connection);
        QVERIFY(settings);
        QCOMPARE(settings->file, path);
        QCOMPARE(settings->separator, QStringLiteral("'"));
    }

    // A new row that cannot be written leaves the old one in place.
    void failedSaveKeepsTheOldRow()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        QVERIFY(rig.connection
                    .execute(QStringLiteral("CREATE TRIGGER no_insert BEFORE INSERT ON Automatizado "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END"))
                    .ok());
        QVERIFY(!automation::writeSettings(rig.connection, QStringLiteral("15"), QStringLiteral("#"), QStringLiteral("x.txt")).ok());
        const auto settings = automation::readSettings(rig.connection);
        QVERIFY(settings);
        QCOMPARE(settings->minutes, QStringLiteral("5"));
        QCOMPARE(settings->active, QStringLiteral("1"));
    }

    // Another workstation held the shared file past the time-out and let go just after; the new
    // row is then refused. The old row must not have gone on its own.
    void saveThatCouldNotBeginKeepsTheOldRow()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        QVERIFY(rig.connection
                    .execute(QStringLiteral("CREATE TRIGGER no_insert BEFORE INSERT ON Automatizado "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END"))
                    .ok());
        {
            testing::OtherWorkstation other(rig.connection);
            const db::Result r =
                automation::writeSettings(rig.connection, QStringLiteral("15"), QStringLiteral("#"), QStringLiteral("x.txt"));
            QCOMPARE(r.status, db::Status::Busy);
            QCOMPARE(other.timesGivenUp(), 1);
        }
        const auto settings = automation::readSettings(rig.connection);
        QVERIFY(settings);
        QCOMPARE(settings->minutes, QStringLiteral("5"));
        QCOMPARE(settings->active, QStringLiteral("1"));
    }

    void noRow()
    {
        testing::AutomationRig rig;
        rig.connection.execute(QStringLiteral("DELETE FROM Automatizado"));
        QVERIFY(!automation::readSettings(rig.connection));
    }

    // --- the window ---------------------------------------------------------------------------

    void firstOpening()
    {
        testing::AutomationRig rig; // a new database: its row holds no path or separator
        automation::AutomationSettingsDialog form(*rig.context);
        QCOMPARE(form.windowTitle(), QStringLiteral("Automatizar envíos"));
        QCOMPARE(form.intervalCombo()->currentText(), QStringLiteral("15"));
        QCOMPARE(form.pathBox()->text(), automation::defaultWatchedPath());
        QCOMPARE(form.separatorBox()->text(), QStringLiteral("#"));
        QCOMPARE(form.saveButton()->text(), QStringLiteral("Guardar"));
        QCOMPARE(form.saveButton()->isEnabled(), QFileInfo(automation::defaultWatchedPath()).isFile());

        const auto *example = form.findChild<QLabel *>(QStringLiteral("SkinLabel8"));
        QVERIFY(example);
        QCOMPARE(example->text(), QStringLiteral("600123456#Hola#Demás información ignorada por ") + brand::brandName()
                                      + QStringLiteral(" Desktop"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("SkinLabel2"))->text(),
                 QStringLiteral("Comprobar nuevos mensajes cada "));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("SkinLabel3"))->text(),
                 QStringLiteral("Separador utilizado en el archivo:"));
        QVERIFY(form.findChild<QLabel *>(QStringLiteral("SkinLabel12"))->text().startsWith(QStringLiteral("5.- En el menú Archivo")));

        // The help names the error log the send road writes, where it writes it.
        const QString requirements = form.findChild<QLabel *>(QStringLiteral("SkinLabel5"))->text();
        QVERIFY2(!requirements.contains(QStringLiteral("Errores.txt")), qPrintable(requirements));
        QVERIFY2(requirements.contains(QStringLiteral("'error_auto.txt' de la carpeta del programa (")
                                       + QDir::toNativeSeparators(rig.context->programFolder) + QStringLiteral(")")),
                 qPrintable(requirements));
    }

    void reopeningShowsTheStoredRow()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("##"), rig.inbox(QStringLiteral("borrado.txt")));
        automation::AutomationSettingsDialog form(*rig.context);
        QCOMPARE(form.intervalCombo()->currentText(), QStringLiteral("5"));
        QCOMPARE(form.separatorBox()->text(), QStringLiteral("##"));
        QCOMPARE(form.pathBox()->text(), rig.inbox(QStringLiteral("borrado.txt")));
        QVERIFY(!form.saveButton()->isEnabled()); // the file is not there
        QCOMPARE(form.folder(), QDir(rig.home.file(QStringLiteral("entrada"))).absolutePath());

        QVERIFY(rig.write("600123456#Hola\r\n"));
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched());
        automation::AutomationSettingsDialog existing(*rig.context);
        QVERIFY(existing.saveButton()->isEnabled());
    }

    void unknownIntervalLeavesFifteen()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("7"));
        automation::AutomationSettingsDialog form(*rig.context);
        QCOMPARE(form.intervalCombo()->currentText(), QStringLiteral("15"));
    }

    void saveButtonFollowsTheBoxes()
    {
        testing::AutomationRig rig;
        QVERIFY(rig.write("x"));
        rig.settings(QStringLiteral("15"));
        automation::AutomationSettingsDialog form(*rig.context);
        QVERIFY(form.saveButton()->isEnabled());

        form.separatorBox()->clear();
        QVERIFY(!form.saveButton()->isEnabled());
        form.separatorBox()->setText(QStringLiteral("#"));
        QVERIFY(!form.saveButton()->isEnabled()); // a separator again does not enable it
        form.pathBox()->setText(rig.inbox(QStringLiteral("otro.csv")));
        QVERIFY(form.saveButton()->isEnabled());

        const QString separator = QDir::separator();
        form.pathBox()->setText(rig.home.path() + separator + QStringLiteral("carpeta.2026") + separator + QStringLiteral("envio"));
        QVERIFY(!form.saveButton()->isEnabled());

        form.chooseFolder(rig.home.file(QStringLiteral("entrada")));
        QCOMPARE(form.pathBox()->text(), QDir::toNativeSeparators(rig.home.file(QStringLiteral("entrada"))) + separator);
        QVERIFY(!form.saveButton()->isEnabled());
        form.chooseFile(QStringLiteral("Enviar_SMS.txt"));
        QCOMPARE(form.pathBox()->text(), QDir::toNativeSeparators(rig.watched()));
        QVERIFY(form.saveButton()->isEnabled());

        form.chooseFolder(QDir::rootPath());
        QCOMPARE(form.pathBox()->text(), QDir::toNativeSeparators(QDir::rootPath()));
        QVERIFY(!form.pathBox()->text().endsWith(separator + separator));
    }

    void unreadableDrive()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("15"));
        QVERIFY(rig.write("x"));
        automation::AutomationSettingsDialog form(*rig.context);
        QVERIFY(form.saveButton()->isEnabled());
        form.chooseDrive(rig.home.file(QStringLiteral("no-existe")));
        QCOMPARE(lastMessage(rig.prompter), QStringLiteral("La unidad no contiene disco o está vacía."));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error"));
        QCOMPARE(form.pathBox()->text(), automation::pathForFolder(form.driveCombo()->itemData(0).toString()));
        QVERIFY(!form.saveButton()->isEnabled());
    }

    // Typing stops at 250 characters, but a longer path put there by the lists could not be
    // edited at all: every key was refused, deleting included.
    void longPathCanBeEditedDown()
    {
        testing::AutomationRig rig;
        automation::AutomationSettingsDialog form(*rig.context);
        form.show();
        form.pathBox()->setFocus();
        form.pathBox()->setText(QString(250, QLatin1Char('a')));
        form.pathBox()->end(false);
        QTest::keyClicks(form.pathBox(), QStringLiteral("bc"));
        QCOMPARE(form.pathBox()->text().size(), 250);

        form.pathBox()->setText(QString(300, QLatin1Char('a')));
        form.pathBox()->end(false);
        QTest::keyClick(form.pathBox(), Qt::Key_Backspace);
        QCOMPARE(form.pathBox()->text().size(), 299);
        QTest::keyClicks(form.pathBox(), QStringLiteral("b"));
        QCOMPARE(form.pathBox()->text().size(), 299); // growing past what it holds is still refused
    }

    void commaSeparatorIsRefused()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("5"), QStringLiteral("#"), rig.watched(), QStringLiteral("1"));
        automation::AutomationSettingsDialog form(*rig.context);
        QSignalSpy saved(&form, &automation::AutomationSettingsDialog::saved);
        form.separatorBox()->setText(QStringLiteral(","));
        form.save();
        QCOMPARE(lastMessage(rig.prompter),
                 QStringLiteral("El delimitador no puede ser un campo vacío, o una coma ','. Por favor, reviselo."));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Delimitador incorrecto"));
        QCOMPARE(saved.count(), 0);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT activo FROM Automatizado")), QStringLiteral("1"));
    }

    void savingStoresTheBoxes()
    {
        testing::AutomationRig rig;
        automation::AutomationSettingsDialog form(*rig.context);
        form.show();
        QSignalSpy saved(&form, &automation::AutomationSettingsDialog::saved);
        form.intervalCombo()->setCurrentIndex(3);
        form.separatorBox()->setText(QStringLiteral(",,"));
        form.pathBox()->setText(rig.inbox(QStringLiteral("salida.txt")));
        form.save();
        QCOMPARE(saved.count(), 1);
        QVERIFY(!form.isVisible());
        QCOMPARE(lastMessage(rig.prompter),
                 QStringLiteral("Configuración guardada. Para que el programa empiece a comprobar nuevos envíos, pulse "
                                "'Comenzar' en el menú Archivo > Automatizar envíos."));
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
        rig.connection.execute(QStringLiteral("DELETE FROM Automatizado"));
        rig.automation->toggle();
        QVERIFY(!rig.startAction->isEnabled());
        QVERIFY(!rig.automation->isOn());
        automation::AutomationSettingsDialog *form = rig.automation->settingsWindow();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        rig.automation->openSettings(); // one at a time
        QCOMPARE(rig.automation->settingsWindow(), form);

        form->pathBox()->setText(rig.watched());
        form->save();
        QVERIFY(rig.startAction->isEnabled());
        QCOMPARE(rig.startAction->text(), QStringLiteral("Comenzar"));
        QVERIFY(!rig.automation->settingsWindow()); // closed: the next opening builds it afresh
    }

    void startAndStop()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("15"));
        rig.automation->toggle();
        QCOMPARE(rig.startAction->text(), QStringLiteral("Detener"));
        QVERIFY(rig.automation->isOn());
        QCOMPARE(rig.automation->timer().interval(), 60000);
        QCOMPARE(rig.automation->countdown(), 15);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT activo FROM Automatizado")), QStringLiteral("1"));

        rig.automation->toggle();
        QCOMPARE(rig.startAction->text(), QStringLiteral("Comenzar"));
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
        none.connection.execute(QStringLiteral("DELETE FROM Automatizado"));
        QVERIFY(!none.automation->restoreAtStartup().hasRow);
    }

    // Saving while sending is on keeps it on for this run, stored as stopped for the next start.
    void savingWhileOn()
    {
        testing::AutomationRig rig;
        rig.settings(QStringLiteral("15"));
        rig.automation->toggle();
        rig.automation->openSettings();
        automation::AutomationSettingsDialog *form = rig.automation->settingsWindow();
        QVERIFY(form);
        form->pathBox()->setText(rig.watched());
        form->save();
        QCOMPARE(rig.startAction->text(), QStringLiteral("Detener"));
        QVERIFY(rig.automation->isOn());
        QCOMPARE(rig.scalar(QStringLiteral("SELECT activo FROM Automatizado")), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestAutomationSettings)
#include "test_automation_settings.moc"
