#include "agenda_fixture.h"

#include "importexport/access/access_import_window.h"
#include "importexport/access/customer_import_window.h"
#include "importexport/access/file_chooser.h"
#include "importexport/excel/duplicate_phone_dialog.h"
#include "importexport/import_export_windows.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace importexport::access;

namespace {

class CountingLists final : public seams::ListViews {
public:
    void refreshContactList(bool reload) override { contactReloads << reload; }
    void refreshGroupList() override { ++groupReloads; }
    QList<bool> contactReloads;
    int groupReloads = 0;
};

struct WindowRig : AgendaFixture {
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    seams::AppContext context{connection, prompter, shell, busy, home.path()};
    CountingLists lists;
    int shown = 0;

    std::unique_ptr<AccessImportWindow> accessWindow()
    {
        return std::make_unique<AccessImportWindow>(context, &lists, [this] { ++shown; });
    }
};

QString fixturesFolder()
{
    return QFileInfo(accessFixture("contactos.mdb")).absolutePath();
}

void pointAt(AccessImportWindow &form, const char *file, const QString &table)
{
    QVERIFY(form.fileChooser->setFolder(fixturesFolder()));
    QVERIFY(form.fileChooser->selectFile(QLatin1String(file)));
    form.tableBox->setText(table);
}

} // namespace

class TestAccessWindows final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (accessFixture("contactos.mdb").isEmpty())
            QSKIP("the Access fixtures are not reachable (BRISANTA_SHARED)");
    }

    void fileListShowsOnlyAccessFiles()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        QVERIFY(form->fileChooser->setFolder(fixturesFolder()));
        QCOMPARE(form->fileChooser->fileList->count(), 4);
        QVERIFY(!form->fileChooser->selectFile(QStringLiteral("README.md")));
        QVERIFY(!form->fileChooser->setFolder(rig.home.file(QStringLiteral("no-existe"))));
        QCOMPARE(form->fileChooser->folder(), fixturesFolder());
    }

    void connectImportAndRemember()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        QVERIFY(!form->importButton->isEnabled());
        pointAt(*form, "contactos.mdb", QStringLiteral("Clientes"));
        form->connectDatabase();
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Conectado a la base de datos"));
        QVERIFY(form->importButton->isEnabled());
        QCOMPARE(form->fieldCombos[0]->count(), 10);
        QCOMPARE(form->fieldCombos[0]->itemText(9), QStringLiteral("Vacio"));
        QCOMPARE(form->keyCombo->count(), 9);
        QCOMPARE(form->mapping(), defaultMapping(9));

        // The useful mapping: mobile as phone, surnames as full name.
        const int wanted[] = {1, 3, 2, 5, 4, 6, 7};
        for (int i = 0; i < 7; ++i)
            form->fieldCombos[size_t(i)]->setCurrentIndex(wanted[i]);
        rig.prompter.answerMessage(ui::Answer::No);        // the conflict: keep Lucía
        form->importContacts();
        QCOMPARE(rig.contactCount(), 14);
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("14 contactos han sido importados satisfactoriamente. "));
        QCOMPARE(rig.lists.contactReloads, QList<bool>{true});
        QCOMPARE(rig.lists.groupReloads, 1);
        QCOMPARE(rig.shown, 1);
        QVERIFY(!rig.busy.isBusy());

        // A new window comes back to the same file, table and mapping.
        auto again = rig.accessWindow();
        QCOMPARE(again->tableBox->text(), QStringLiteral("Clientes"));
        QCOMPARE(again->fileChooser->fileName(), QStringLiteral("contactos.mdb"));
        again->connectDatabase();
        QCOMPARE(again->mapping().fields, (std::array<int, 7>{1, 3, 2, 5, 4, 6, 7}));

        // Another password is another memory: the default mapping comes back and is saved.
        again->passwordBox->setText(QStringLiteral("o'tra"));
        again->connectDatabase();
        QCOMPARE(again->mapping(), defaultMapping(9));
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT pass FROM Parametros_Access")).toString(), QStringLiteral("o'tra"));
    }

    void conflictGoesToTheHandlerAndResumes()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        pointAt(*form, "contactos.mdb", QStringLiteral("Clientes"));
        form->connectDatabase();
        const int wanted[] = {1, 3, 2, 5, 4, 6, 7};
        for (int i = 0; i < 7; ++i)
            form->fieldCombos[size_t(i)]->setCurrentIndex(wanted[i]);
        std::optional<Conflict> seen;
        form->setConflictHandler([&](const Conflict &c) { seen = c; });
        form->importContacts();
        QVERIFY(seen);
        QCOMPARE(seen->table, QStringLiteral("Clientes"));
        QCOMPARE(seen->key, QStringLiteral("24"));
        QVERIFY(form->awaitingDecision());
        QCOMPARE(rig.contactCount(), 0);
        form->resumeImport(seen->table, seen->key, seen->count, Decision{false, true, false, false});
        QCOMPARE(rig.contactCount(), 14);
        QCOMPARE(rig.field("34612345678", "nombre"), QStringLiteral("Luisa"));
    }

    // Opened from the menu, the Access import asks about a conflict in the duplicate-phone dialog,
    // and its answer goes on with the stopped run.
    void conflictGoesThroughTheDuplicateDialog()
    {
        WindowRig rig;
        importexport::ImportExportWindows windows(rig.context, rig.lists, [&rig] { ++rig.shown; });
        QVERIFY(importexport::ImportExportWindows::canOpen(seams::WindowId::AccessImport));
        QVERIFY(!importexport::ImportExportWindows::canOpen(seams::WindowId::BirthdayGreetings));
        windows.open(seams::WindowId::AccessImport);
        windows.open(seams::WindowId::AccessImport);
        QList<AccessImportWindow *> open;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *form = qobject_cast<AccessImportWindow *>(widget); form && form->isVisible())
                open << form;
        }
        QCOMPARE(open.size(), 1);
        AccessImportWindow &form = *open.first();
        pointAt(form, "contactos.mdb", QStringLiteral("Clientes"));
        form.connectDatabase();
        const int wanted[] = {1, 3, 2, 5, 4, 6, 7};
        for (int i = 0; i < 7; ++i)
            form.fieldCombos[size_t(i)]->setCurrentIndex(wanted[i]);
        form.importContacts();
        importexport::excel::DuplicatePhoneDialog *dialog = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *shown = qobject_cast<importexport::excel::DuplicatePhoneDialog *>(widget); shown && shown->isVisible())
                dialog = shown;
        }
        QVERIFY(dialog);
        QCOMPARE(dialog->phoneLabels[1]->text(), QStringLiteral("34612345678"));
        QVERIFY(form.awaitingDecision());
        QCOMPARE(rig.contactCount(), 0);
        dialog->applyToAllCheck->setChecked(true);
        dialog->overwriteButton->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(rig.contactCount(), 14);
        QCOMPARE(rig.field("34612345678", "nombre"), QStringLiteral("Luisa"));
        QCOMPARE(rig.shown, 1);
        form.close();
    }

    void cancellingTheQuestionWritesNothing()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        pointAt(*form, "contactos.mdb", QStringLiteral("Clientes"));
        form->connectDatabase();
        const int wanted[] = {1, 3, 2, 5, 4, 6, 7};
        for (int i = 0; i < 7; ++i)
            form->fieldCombos[size_t(i)]->setCurrentIndex(wanted[i]);
        rig.prompter.answerMessage(ui::Answer::Cancel);
        form->importContacts();
        QCOMPARE(rig.contactCount(), 0);
        QVERIFY(!form->awaitingDecision());
        QVERIFY(rig.lists.contactReloads.isEmpty());
    }

    void connectionErrors()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        for (const QString &table : {QStringLiteral("No existe"), QStringLiteral("Cli'entes"), QString()}) {
            pointAt(*form, "contactos.mdb", table);
            form->connectDatabase();
            QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Error de conexion"));
            QVERIFY(!form->importButton->isEnabled());
        }
        // "Importar" cannot run without a connection (it stays disabled; called anyway it says so).
        form->importContacts();
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Error de conexion"));
        QCOMPARE(rig.contactCount(), 0);
    }

    // A table name with a blank connects; its two fields give name = the number, phone = "Vacio",
    // which the import refuses with a message instead of failing in the database.
    void phoneLeftEmptyIsRefused()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        pointAt(*form, "contactos.mdb", QStringLiteral("Lista antigua"));
        form->connectDatabase();
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Conectado a la base de datos"));
        QCOMPARE(form->fieldCombos[1]->currentText(), QStringLiteral("Vacio"));
        form->importContacts();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error"));
        QVERIFY(rig.prompter.lastCall().text.contains(QStringLiteral("Vacio")));
        QCOMPARE(rig.contactCount(), 0);

        // Name from Nombre, phone from the numeric Tel column.
        form->fieldCombos[0]->setCurrentIndex(0);
        form->fieldCombos[1]->setCurrentIndex(1);
        form->keyCombo->setCurrentIndex(1);
        form->importContacts();
        QCOMPARE(rig.phones(), (QStringList{"34612345678", "34699123456"}));
        QCOMPARE(rig.field("34699123456", "nombre"), QStringLiteral("Pepe O'Hara"));
    }

    void customerWindowImports()
    {
        WindowRig rig;
        CustomerImportWindow form(rig.context);
        QVERIFY(form.numericPhoneTypeCheck->isChecked() && form.numericCustomerIdCheck->isChecked() && form.numericCustomerTypeIdCheck->isChecked());
        QCOMPARE(form.customerChooser->folder(), QFileInfo(rig.home.path()).absoluteFilePath());
        form.importCustomers();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error"));

        QVERIFY(form.customerChooser->setFolder(fixturesFolder()));
        QVERIFY(form.customerChooser->selectFile(QStringLiteral("clientes_numerico.mdb")));
        QVERIFY(form.programChooser->setFolder(rig.home.path()));
        QVERIFY(form.programChooser->selectFile(QStringLiteral("bbdd.mdb")));
        form.importCustomers();
        QVERIFY(rig.prompter.lastCall().text.startsWith(
            QStringLiteral("Base de datos de clientes importada en Brisanta Desktop. Gracias por su confianza.")));
        QCOMPARE(rig.prompter.lastCall().title, QString());
        QCOMPARE(rig.contactCount(), 21);
        QVERIFY(!rig.busy.isBusy());
    }
};

QTEST_MAIN(TestAccessWindows)
#include "test_access_windows.moc"
