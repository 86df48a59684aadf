#include "excel_fixture.h"
#include "importexport/excel/form12.h"
#include "importexport/excel/form13.h"
#include "importexport/excel/form21.h"
#include "importexport/excel/form24.h"
#include "importexport/excel/form25.h"
#include "importexport/excel/import_settings.h"
#include "importexport/excel/progress_text.h"
#include "platform/ui/busy_cursor.h"
#include "startup/app_context.h"
#include "startup/subsystems.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace importexport::excel;
using testing::ScriptedPrompter;

namespace {

struct Views final : startup::ListViews {
    int contactReloads = 0;
    int groupReloads = 0;
    void f_agenda(bool) override { ++contactReloads; }
    void f_grupos() override { ++groupReloads; }
};

struct Env {
    exceltest::Database d;
    ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    QNetworkAccessManager network;
    Views views;
    startup::AppContext context{d.conexion, prompter, shell, busy, network, d.home.path()};
};

const QDateTime kNow(QDate(2024, 5, 10), QTime(12, 0, 0));

// The Excel import window on `book` in the program folder, with the group choice made.
Form12 *openOn(Env &env, const QString &book)
{
    auto *form = new Form12(env.context, &env.views, kNow);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setCarpeta(env.d.home.path());
    form->seleccionarArchivo(book);
    return form;
}

} // namespace

class TestExcelWindows final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstLoadRemembersNothingYet();
    void rememberedWorkbookIsSelected();
    void crearGrupoRefusesTakenNamesAndCancel();
    void importWithPendingGroupRunsToTheSummary();
    void pendingGroupNotTickedCreatesNoGroup();
    void pendingGroupMadeMeanwhileIsJoinedNotDuplicated();
    void mappingCombosFollowEachOtherAndSwapBack();
    void duplicateDialogAnswersAndPauses();
    void damagedWorkbookGoesBackToTheFirstWindow();
    void failedWriteShowsErrorNotSummary();
    void exportWindowWritesTheGroup();
    void filePopupActsOnTheFileUnderThePointer();
};

void TestExcelWindows::firstLoadRemembersNothingYet()
{
    Env env;
    env.d.addGroup(QStringLiteral("Clientes"));
    Form12 form(env.context, &env.views, kNow);
    QCOMPARE(form.Combo1->itemText(0), QStringLiteral("Nuevo: Excel_20240510_120000"));
    QCOMPARE(form.Combo1->itemText(1), QStringLiteral("Clientes"));
    QCOMPARE(form.Combo1->currentIndex(), 0);
    QVERIFY(!form.Command1->isEnabled());
    QCOMPARE(leerAjustes(env.d.conexion).ruta, kRutaInicial);
    Form12 again(env.context, &env.views, kNow);
    QCOMPARE(env.d.conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Parametros_Excel")).toInt(), 1);
}

void TestExcelWindows::rememberedWorkbookIsSelected()
{
    Env env;
    const QString path = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}));
    asegurarFila(env.d.conexion);
    guardarRuta(env.d.conexion, path);
    Form12 form(env.context, &env.views, kNow);
    QCOMPARE(form.archivo(), path);
    QVERIFY(form.Command1->isEnabled());
}

void TestExcelWindows::crearGrupoRefusesTakenNamesAndCancel()
{
    Env env;
    env.d.addGroup(QStringLiteral("Ya"));
    Form12 form(env.context, &env.views, kNow);
    env.prompter.answerInput(QStringLiteral("Ya"));
    env.prompter.answerInput(std::nullopt);
    form.Command2_Click();
    QCOMPARE(env.prompter.messageTexts().size(), 1);
    QVERIFY(env.prompter.messageTexts().constFirst().startsWith(QStringLiteral("Ya existe un grupo con el nombre 'Ya'")));
    QCOMPARE(form.Combo1->count(), 2);
    QVERIFY(!form.Check3->isChecked());

    env.prompter.answerInput(QStringLiteral("Clientes d'Ana"));
    form.Command2_Click();
    QCOMPARE(form.Combo1->itemText(0), QStringLiteral("Ya"));     // the pending item is gone
    QCOMPARE(form.Combo1->currentText(), QStringLiteral("Clientes d'Ana"));
    QVERIFY(form.Check3->isChecked());
    QCOMPARE(env.prompter.messageTexts().constLast(), QStringLiteral("El grupo 'Clientes d'Ana' ha sido creado."));
    QCOMPARE(env.views.groupReloads, 1);
    QCOMPARE(env.d.conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE nombre=?1"), {"Clientes d'Ana"}).toInt(), 1);
}

void TestExcelWindows::importWithPendingGroupRunsToTheSummary()
{
    Env env;
    QList<QStringList> rows{{"Nombre", "Teléfono", "Dirección"}};
    for (int i = 0; i < 12; ++i)
        rows << QStringList{QStringLiteral("Contacto %1").arg(i), QStringLiteral("6000000%1").arg(i + 10),
                            QStringLiteral("Calle %1").arg(i)};
    const QString book = QFileInfo(exceltest::saveBook(env.d.home, exceltest::sheetOf(rows))).fileName();
    QPointer<Form12> form = openOn(env, book);
    form->Check3->setChecked(true);
    env.prompter.answerMessage(ui::Answer::Ok);     // "El grupo ... ha sido creado."
    env.prompter.answerMessage(ui::Answer::Ok);     // the summary
    QPointer<Form24> mapping = form->f_importar_excel();
    QVERIFY(mapping);
    QVERIFY(!form->isVisible());
    const QVariant group = env.d.conexion.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre=?1"),
                                                 {QStringLiteral("Excel_20240510_120000")});
    QVERIFY(group.isValid());
    QCOMPARE(form->Combo1->itemText(0), QStringLiteral("Excel_20240510_120000"));
    QCOMPARE(leerAjustes(env.d.conexion).ruta, env.d.home.file(book));

    QCOMPARE(mapping->SkinLabel6[3]->text(), QStringLiteral("13 filas por 3 columnas"));
    // First import ever: name A, phone B; after "No guardar" full name lands on the second data
    // column and address on the third; the other phone's index lies beyond the list.
    QCOMPARE(mapping->Combo2[0]->currentText(), QStringLiteral("Columna A"));
    QCOMPARE(mapping->Combo2[1]->currentText(), QStringLiteral("Columna B"));
    QCOMPARE(mapping->Combo2[2]->currentText(), QStringLiteral("Columna B"));
    QCOMPARE(mapping->Combo2[3]->currentText(), QStringLiteral("Columna C"));
    QCOMPARE(mapping->Combo2[4]->currentIndex(), 0);
    mapping->Combo2[2]->setCurrentIndex(0);
    mapping->Combo2[3]->setCurrentIndex(3);

    mapping->Command1_Click();
    QVERIFY(form.isNull() || !form->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!env.prompter.messageTexts().isEmpty()
                                 && env.prompter.messageTexts().constLast().startsWith(QStringLiteral("Se han revisado")),
                             10000);
    QCOMPARE(env.prompter.messageTexts().constLast(), textoResumen({12, 12, 12}));
    QCOMPARE(env.d.count(QStringLiteral("WHERE grupos_sid=?1"), {group.toString()}), 12);
    QCOMPARE(env.d.field(QStringLiteral("34600000015"), QStringLiteral("direccion")).toString(), QStringLiteral("Calle 5"));
    QCOMPARE(env.views.contactReloads, 1);
    QVERIFY(env.views.groupReloads >= 2);
    QVERIFY(!env.busy.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(mapping.isNull(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), 5000);
    // The choice is remembered for the next import.
    QCOMPARE(leerAjustes(env.d.conexion).indices[3].toString(), QStringLiteral("3"));
    QVERIFY2(!env.prompter.hasUnexpected(), env.prompter.unexpectedReport().constData());
}

void TestExcelWindows::pendingGroupNotTickedCreatesNoGroup()
{
    Env env;
    const QString book = QFileInfo(exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}))).fileName();
    QPointer<Form12> form = openOn(env, book);
    QPointer<Form24> mapping = form->f_importar_excel();
    QVERIFY(mapping);
    QCOMPARE(env.d.conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos")).toInt(), 0);
    // "Cancelar" brings the first window back.
    mapping->Command2_Click();
    QVERIFY(form->isVisible());
    delete form;
}

void TestExcelWindows::pendingGroupMadeMeanwhileIsJoinedNotDuplicated()
{
    Env env;
    const QString book = QFileInfo(exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}))).fileName();
    QPointer<Form12> form = openOn(env, book);
    const qint64 sid = env.d.addGroup(QStringLiteral("Excel_20240510_120000"));
    form->Check3->setChecked(true);
    env.prompter.answerMessage(ui::Answer::Ok);
    QPointer<Form24> mapping = form->f_importar_excel();
    QVERIFY(mapping);
    QCOMPARE(env.d.conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos")).toInt(), 1);
    mapping->Command1_Click();
    QTRY_VERIFY_WITH_TIMEOUT(mapping.isNull(), 5000);
    QCOMPARE(env.d.field(QStringLiteral("34600123456"), QStringLiteral("grupos_sid")).toString(), QString::number(sid));
}

void TestExcelWindows::mappingCombosFollowEachOtherAndSwapBack()
{
    Env env;
    const QString path = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456", "x"},
                                                                            {"Luis", "611223344", "y"}}));
    Form24 mapping(env.context, &env.views, path, {});
    QVERIFY(mapping.f_recargar_muestra());
    // A sample cell of the phone field chosen: the mapping combo and the other cells follow.
    mapping.Combo2[kCampos + kCampos * 2 + Telefono]->setCurrentIndex(2);
    QCOMPARE(mapping.Combo2[Telefono]->currentIndex(), 2);
    QCOMPARE(mapping.Combo2[kCampos + Telefono]->currentText(), QStringLiteral("Columna C: x"));
    QCOMPARE(mapping.Combo2[kCampos + kCampos + Telefono]->currentText(), QStringLiteral("Columna C: y"));

    const QString caption = mapping.SkinLabel2[0]->text();
    const QString heading = mapping.SkinLabel1[0]->text();
    mapping.Check1->click();
    QCOMPARE(mapping.SkinLabel2[0]->text(), QStringLiteral("(Req)   Fila 'Nombre':"));
    QCOMPARE(mapping.SkinLabel1[0]->text(), QStringLiteral("Datos Col. 1"));
    QCOMPARE(mapping.Combo2[Nombre]->itemText(0), QStringLiteral("Fila 1"));
    QVERIFY(mapping.SkinLabel3->text().contains(QStringLiteral("las 5 primeras filas")));
    mapping.Check1->click();
    QCOMPARE(mapping.SkinLabel2[0]->text(), caption);
    QCOMPARE(mapping.SkinLabel1[0]->text(), heading);
    QCOMPARE(mapping.Combo2[Nombre]->itemText(0), QStringLiteral("Columna A"));
}

void TestExcelWindows::duplicateDialogAnswersAndPauses()
{
    Env env;
    env.d.addContact({"Ana", "34600000011", "", "", "", "", QVariant(), ""});
    env.d.addContact({"Luis", "34600000012", "", "", "", "", QVariant(), ""});
    const QString path = exceltest::saveBook(
        env.d.home, exceltest::sheetOf({{"Eva", "600000010"}, {"Ana B", "600000011"}, {"Luis B", "600000012"},
                                        {"Pep", "600000013"}}));
    QPointer<Form24> mapping = new Form24(env.context, &env.views, path, {});
    mapping->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(mapping->f_recargar_muestra());
    for (int i = NombreCompleto; i < kCampos; ++i)
        mapping->Combo2[size_t(i)]->setCurrentIndex(0);
    mapping->Command1_Click();
    Form21 *dialog = mapping->dialogo();
    Form25 *progress = mapping->progreso();
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 5000);
    QCOMPARE(dialog->SkinLabel3[0]->text(), QStringLiteral("Ana"));
    QCOMPARE(dialog->SkinLabel2[0]->text(), QStringLiteral("Ana B"));
    QCOMPARE(dialog->SkinLabel8[1]->text(), QStringLiteral("34600000011"));
    QCOMPARE(progress->SkinLabel2->text(), QStringLiteral("Esperando respuesta..."));
    QVERIFY(!progress->Command1->isEnabled());
    QVERIFY(!progress->Timer1->isActive());

    // The window box: no answer; the run pauses on that record.
    dialog->close();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(progress->Command1->text(), QStringLiteral("Reanudar"));
    QVERIFY(progress->Command2->isEnabled());
    QCOMPARE(progress->SkinLabel4[1]->text(), QStringLiteral("1"));
    progress->Command1->click();     // "Reanudar": the same record asks again
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 5000);
    QCOMPARE(dialog->SkinLabel2[0]->text(), QStringLiteral("Ana B"));

    // "Ignorar" for all: no further dialog in this run.
    dialog->Check1->setChecked(true);
    dialog->Command2->click();
    QTRY_VERIFY_WITH_TIMEOUT(!env.prompter.messageTexts().isEmpty(), 5000);
    QCOMPARE(env.prompter.messageTexts().constLast(), textoResumen({2, 4, 0}));
    QCOMPARE(env.d.field(QStringLiteral("34600000012"), QStringLiteral("nombre")).toString(), QStringLiteral("Luis"));
    QTRY_VERIFY_WITH_TIMEOUT(mapping.isNull(), 5000);
}

void TestExcelWindows::damagedWorkbookGoesBackToTheFirstWindow()
{
    Env env;
    QFile damaged(env.d.home.file(QStringLiteral("roto.xlsx")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("PK\x03\x04 not a workbook");
    damaged.close();
    QPointer<Form12> form = openOn(env, QStringLiteral("roto.xlsx"));
    QVERIFY(!form->f_importar_excel());
    QCOMPARE(env.prompter.messageTexts().size(), 1);
    QVERIFY(form->isVisible());

    // A workbook whose first sheet holds nothing.
    exceltest::saveBook(env.d.home, xlsx::Sheet(), QStringLiteral("vacio.xlsx"));
    form->seleccionarArchivo(QStringLiteral("vacio.xlsx"));
    QVERIFY(!form->f_importar_excel());
    QVERIFY(env.prompter.messageTexts().constLast().contains(QStringLiteral("no contiene datos")));
    QVERIFY(form->isVisible());
    delete form;
}

void TestExcelWindows::failedWriteShowsErrorNotSummary()
{
    Env env;
    QVERIFY(env.d.conexion
                .executeScript(QStringLiteral("CREATE TRIGGER rechazo BEFORE INSERT ON Agenda WHEN NEW.nombre='Eva' "
                                              "BEGIN SELECT RAISE(ABORT,'disco lleno'); END"))
                .ok());
    const QString path = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}, {"Eva", "611223344"},
                                                                            {"Pep", "622334455"}}));
    QPointer<Form24> mapping = new Form24(env.context, &env.views, path, {});
    mapping->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(mapping->f_recargar_muestra());
    mapping->Command1_Click();
    QTRY_VERIFY_WITH_TIMEOUT(!env.prompter.messageTexts().isEmpty(), 5000);
    const ScriptedPrompter::Call &call = env.prompter.lastCall();
    QCOMPARE(call.title, QStringLiteral("Error"));
    QVERIFY(call.text.contains(QStringLiteral("Eva")));
    QVERIFY(!call.text.startsWith(QStringLiteral("Se han revisado")));
    QCOMPARE(env.d.count(), 1);
    QCOMPARE(env.views.contactReloads, 1);
    QTRY_VERIFY_WITH_TIMEOUT(mapping.isNull(), 5000);
}

void TestExcelWindows::exportWindowWritesTheGroup()
{
    Env env;
    const qint64 sid = env.d.addGroup(QStringLiteral("Socios"));
    env.d.addContact({"Ana", "34600123456", "", "", "", "", QVariant(), QString::number(sid)});
    env.d.addContact({"Luis", "34611223344", "", "", "", "", QVariant(), ""});
    Form13 form(env.context);
    QCOMPARE(form.Combo1->count(), 2);
    QCOMPARE(form.Combo1->itemText(1), QStringLiteral("Grupo: Socios"));
    form.Combo1->setCurrentIndex(1);
    env.prompter.answerSaveFile(env.d.home.file(QStringLiteral("socios.xlsx")));
    form.Command1_Click();
    QCOMPARE(form.lastOutcome().status, ExportOutcome::Status::Exported);
    QCOMPARE(form.lastOutcome().contacts, 1);
    QCOMPARE(env.prompter.messageTexts(), QStringList{kExportacionCompleta});
}

QTEST_MAIN(TestExcelWindows)
// The file list's popup acts on the file it was opened on. A file deleted since the list was drawn
// gets no menu: the file selected before must not be imported in its place.
void TestExcelWindows::filePopupActsOnTheFileUnderThePointer()
{
    Env env;
    exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}), QStringLiteral("a.xlsx"));
    const QString b = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Bea", "600654321"}}), QStringLiteral("b.xlsx"));
    QPointer<Form12> form = openOn(env, QStringLiteral("a.xlsx"));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.data()));
    QListView *list = form->File1;
    const auto fileIndex = [list](const QString &name) {
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row) {
            const QModelIndex i = list->model()->index(row, 0, root);
            if (i.data().toString() == name)
                return i;
        }
        return QModelIndex();
    };
    QTRY_VERIFY_WITH_TIMEOUT(fileIndex(QStringLiteral("b.xlsx")).isValid(), 10000);
    QMenu *menu = form->mnurclick_excelfile;
    const QList<QAction *> items = menu->actions();
    QCOMPARE(items.size(), 2);

    // Deleted from the disk; the list has not caught up yet.
    QVERIFY(QFile::remove(b));
    Q_EMIT list->customContextMenuRequested(list->visualRect(fileIndex(QStringLiteral("b.xlsx"))).center());
    QVERIFY(!menu->isVisible());
    QCOMPARE(form->archivo(), env.d.home.file(QStringLiteral("a.xlsx")));

    // On a file that is there, "Abrir archivo" opens that very file.
    Q_EMIT list->customContextMenuRequested(list->visualRect(fileIndex(QStringLiteral("a.xlsx"))).center());
    QVERIFY(menu->isVisible());
    menu->setActiveAction(items.at(0));
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(env.shell.urls().size(), 1);
    QVERIFY(env.shell.urls().constFirst().endsWith(QStringLiteral("/a.xlsx")));
    QVERIFY(!form->mapeo());
    delete form;
}

#include "test_excel_windows.moc"
