#include "agenda_fixture.h"

#include "importexport/access/file_chooser.h"
#include "importexport/access/form22.h"
#include "importexport/access/form8.h"
#include "importexport/excel/form21.h"
#include "importexport/import_export_windows.h"
#include "platform/ui/busy_cursor.h"
#include "startup/app_context.h"
#include "startup/subsystems.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace importexport::access;

namespace {

class CountingLists final : public startup::ListViews {
public:
    void f_agenda(bool reload) override { contactReloads << reload; }
    void f_grupos() override { ++groupReloads; }
    QList<bool> contactReloads;
    int groupReloads = 0;
};

struct WindowRig : AgendaFixture {
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    QNetworkAccessManager network;
    startup::AppContext context{conexion, prompter, shell, busy, network, home.path()};
    CountingLists lists;
    int shown = 0;

    std::unique_ptr<Form22> accessWindow()
    {
        return std::make_unique<Form22>(context, &lists, [this] { ++shown; });
    }
};

QString fixturesFolder()
{
    return QFileInfo(accessFixture("contactos.mdb")).absolutePath();
}

void pointAt(Form22 &form, const char *file, const QString &table)
{
    QVERIFY(form.Files->setCarpeta(fixturesFolder()));
    QVERIFY(form.Files->seleccionarArchivo(QLatin1String(file)));
    form.Text1->setText(table);
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
        QVERIFY(form->Files->setCarpeta(fixturesFolder()));
        QCOMPARE(form->Files->File->count(), 4);
        QVERIFY(!form->Files->seleccionarArchivo(QStringLiteral("README.md")));
        QVERIFY(!form->Files->setCarpeta(rig.home.file(QStringLiteral("no-existe"))));
        QCOMPARE(form->Files->carpeta(), fixturesFolder());
    }

    void connectImportAndRemember()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        QVERIFY(!form->Command2->isEnabled());
        pointAt(*form, "contactos.mdb", QStringLiteral("Clientes"));
        form->Command1_Click();
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Conectado a la base de datos"));
        QVERIFY(form->Command2->isEnabled());
        QCOMPARE(form->Combo1[0]->count(), 10);
        QCOMPARE(form->Combo1[0]->itemText(9), QStringLiteral("Vacio"));
        QCOMPARE(form->Combo2->count(), 9);
        QCOMPARE(form->mapping(), defaultMapping(9));

        // The useful mapping: mobile as phone, surnames as full name.
        const int wanted[] = {1, 3, 2, 5, 4, 6, 7};
        for (int i = 0; i < 7; ++i)
            form->Combo1[size_t(i)]->setCurrentIndex(wanted[i]);
        rig.prompter.answerMessage(ui::Answer::No);        // the conflict: keep Lucía
        form->Command2_Click();
        QCOMPARE(rig.contactCount(), 14);
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("14 contactos han sido importados satisfactoriamente. "));
        QCOMPARE(rig.lists.contactReloads, QList<bool>{true});
        QCOMPARE(rig.lists.groupReloads, 1);
        QCOMPARE(rig.shown, 1);
        QVERIFY(!rig.busy.isBusy());

        // A new window comes back to the same file, table and mapping.
        auto again = rig.accessWindow();
        QCOMPARE(again->Text1->text(), QStringLiteral("Clientes"));
        QCOMPARE(again->Files->archivo(), QStringLiteral("contactos.mdb"));
        again->Command1_Click();
        QCOMPARE(again->mapping().campos, (std::array<int, 7>{1, 3, 2, 5, 4, 6, 7}));

        // Another password is another memory: the default mapping comes back and is saved.
        again->Text2->setText(QStringLiteral("o'tra"));
        again->Command1_Click();
        QCOMPARE(again->mapping(), defaultMapping(9));
        QCOMPARE(rig.conexion.scalar(QStringLiteral("SELECT pass FROM Parametros_Access")).toString(), QStringLiteral("o'tra"));
    }

    void conflictGoesToTheHandlerAndResumes()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        pointAt(*form, "contactos.mdb", QStringLiteral("Clientes"));
        form->Command1_Click();
        const int wanted[] = {1, 3, 2, 5, 4, 6, 7};
        for (int i = 0; i < 7; ++i)
            form->Combo1[size_t(i)]->setCurrentIndex(wanted[i]);
        std::optional<Conflict> seen;
        form->setConflictHandler([&](const Conflict &c) { seen = c; });
        form->Command2_Click();
        QVERIFY(seen);
        QCOMPARE(seen->tabla, QStringLiteral("Clientes"));
        QCOMPARE(seen->clave, QStringLiteral("24"));
        QVERIFY(form->esperandoDecision());
        QCOMPARE(rig.contactCount(), 0);
        form->Access_a_Access(seen->tabla, seen->clave, seen->contados, Decision{false, true, false, false});
        QCOMPARE(rig.contactCount(), 14);
        QCOMPARE(rig.field("34612345678", "nombre"), QStringLiteral("Luisa"));
    }

    // Opened from the menu, the Access import asks about a conflict in the duplicate-phone dialog,
    // and its answer goes on with the stopped run.
    void conflictGoesThroughTheDuplicateDialog()
    {
        WindowRig rig;
        importexport::ImportExportWindows windows(rig.context, rig.lists, [&rig] { ++rig.shown; });
        QVERIFY(importexport::ImportExportWindows::canOpen(startup::WindowId::Form22));
        QVERIFY(!importexport::ImportExportWindows::canOpen(startup::WindowId::Form20));
        windows.open(startup::WindowId::Form22);
        windows.open(startup::WindowId::Form22);
        QList<Form22 *> open;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *form = qobject_cast<Form22 *>(widget); form && form->isVisible())
                open << form;
        }
        QCOMPARE(open.size(), 1);
        Form22 &form = *open.first();
        pointAt(form, "contactos.mdb", QStringLiteral("Clientes"));
        form.Command1_Click();
        const int wanted[] = {1, 3, 2, 5, 4, 6, 7};
        for (int i = 0; i < 7; ++i)
            form.Combo1[size_t(i)]->setCurrentIndex(wanted[i]);
        form.Command2_Click();
        importexport::excel::Form21 *dialog = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *shown = qobject_cast<importexport::excel::Form21 *>(widget); shown && shown->isVisible())
                dialog = shown;
        }
        QVERIFY(dialog);
        QCOMPARE(dialog->SkinLabel8[1]->text(), QStringLiteral("34612345678"));
        QVERIFY(form.esperandoDecision());
        QCOMPARE(rig.contactCount(), 0);
        dialog->Check1->setChecked(true);
        dialog->Command1->click();
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
        form->Command1_Click();
        const int wanted[] = {1, 3, 2, 5, 4, 6, 7};
        for (int i = 0; i < 7; ++i)
            form->Combo1[size_t(i)]->setCurrentIndex(wanted[i]);
        rig.prompter.answerMessage(ui::Answer::Cancel);
        form->Command2_Click();
        QCOMPARE(rig.contactCount(), 0);
        QVERIFY(!form->esperandoDecision());
        QVERIFY(rig.lists.contactReloads.isEmpty());
    }

    void connectionErrors()
    {
        WindowRig rig;
        auto form = rig.accessWindow();
        for (const QString &table : {QStringLiteral("No existe"), QStringLiteral("Cli'entes"), QString()}) {
            pointAt(*form, "contactos.mdb", table);
            form->Command1_Click();
            QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Error de conexion"));
            QVERIFY(!form->Command2->isEnabled());
        }
        // "Importar" cannot run without a connection (it stays disabled; called anyway it says so).
        form->Command2_Click();
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
        form->Command1_Click();
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Conectado a la base de datos"));
        QCOMPARE(form->Combo1[1]->currentText(), QStringLiteral("Vacio"));
        form->Command2_Click();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error"));
        QVERIFY(rig.prompter.lastCall().text.contains(QStringLiteral("Vacio")));
        QCOMPARE(rig.contactCount(), 0);

        // Name from Nombre, phone from the numeric Tel column.
        form->Combo1[0]->setCurrentIndex(0);
        form->Combo1[1]->setCurrentIndex(1);
        form->Combo2->setCurrentIndex(1);
        form->Command2_Click();
        QCOMPARE(rig.phones(), (QStringList{"34612345678", "34699123456"}));
        QCOMPARE(rig.field("34699123456", "nombre"), QStringLiteral("Pepe O'Hara"));
    }

    void customerWindowImports()
    {
        WindowRig rig;
        Form8 form(rig.context);
        QVERIFY(form.Check1->isChecked() && form.Check2->isChecked() && form.Check3->isChecked());
        QCOMPARE(form.Clientes->carpeta(), QFileInfo(rig.home.path()).absoluteFilePath());
        form.Command1_Click();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error"));

        QVERIFY(form.Clientes->setCarpeta(fixturesFolder()));
        QVERIFY(form.Clientes->seleccionarArchivo(QStringLiteral("clientes_numerico.mdb")));
        QVERIFY(form.Programa->setCarpeta(rig.home.path()));
        QVERIFY(form.Programa->seleccionarArchivo(QStringLiteral("bbdd.mdb")));
        form.Command1_Click();
        QVERIFY(rig.prompter.lastCall().text.startsWith(
            QStringLiteral("Base de datos de clientes importada en Brisanta Desktop. Gracias por su confianza.")));
        QCOMPARE(rig.prompter.lastCall().title, QString());
        QCOMPARE(rig.contactCount(), 21);
        QVERIFY(!rig.busy.isBusy());
    }
};

QTEST_MAIN(TestAccessWindows)
#include "test_access_windows.moc"
