#include "excel_fixture.h"
#include "importexport/excel/column_mapping_window.h"
#include "importexport/excel/duplicate_phone_dialog.h"
#include "importexport/excel/excel_export_window.h"
#include "importexport/excel/excel_import_window.h"
#include "importexport/excel/import_progress_window.h"
#include "importexport/excel/import_settings.h"
#include "importexport/excel/progress_text.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace importexport::excel;
using testing::ScriptedPrompter;

namespace {

struct Views final : seams::ListViews {
    int contactReloads = 0;
    int groupReloads = 0;
    void refreshContactList(bool) override { ++contactReloads; }
    void refreshGroupList() override { ++groupReloads; }
};

struct Env {
    exceltest::Database d;
    ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    Views views;
    seams::AppContext context{d.connection, prompter, shell, busy, d.home.path()};
};

const QDateTime kNow(QDate(2024, 5, 10), QTime(12, 0, 0));

// The Excel import window on `book` in the program folder, with the group choice made.
ExcelImportWindow *openOn(Env &env, const QString &book)
{
    auto *form = new ExcelImportWindow(env.context, &env.views, kNow);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setFolder(env.d.home.path());
    form->selectFile(book);
    return form;
}

} // namespace

class TestExcelWindows final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstLoadRemembersNothingYet();
    void rememberedWorkbookIsSelected();
    void createGroupRefusesTakenNamesAndCancel();
    void importWithPendingGroupRunsToTheSummary();
    void pendingGroupNotTickedCreatesNoGroup();
    void pendingGroupMadeMeanwhileIsJoinedNotDuplicated();
    void mappingCombosFollowEachOtherAndSwapBack();
    void duplicateDialogAnswersAndPauses();
    void damagedWorkbookGoesBackToTheFirstWindow();
    void failedWriteShowsErrorNotSummary();
    void exportWindowWritesTheGroup();
    void filePopupActsOnTheFileUnderThePointer();
    void folderTreeFollowsTheKeyboard();
};

void TestExcelWindows::firstLoadRemembersNothingYet()
{
    Env env;
    env.d.addGroup(QStringLiteral("Clientes"));
    ExcelImportWindow form(env.context, &env.views, kNow);
    QCOMPARE(form.groupCombo->itemText(0), QStringLiteral("Nuevo: Excel_20240510_120000"));
    QCOMPARE(form.groupCombo->itemText(1), QStringLiteral("Clientes"));
    QCOMPARE(form.groupCombo->currentIndex(), 0);
    QVERIFY(!form.importButton->isEnabled());
    QCOMPARE(readSettings(env.d.connection).path, kInitialPath);
    // With nothing remembered, the folder lists open at the user's own folder.
    QCOMPARE(QDir(form.folder()), QDir(QDir::homePath()));
    ExcelImportWindow again(env.context, &env.views, kNow);
    QCOMPARE(env.d.connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Parametros_Excel")).toInt(), 1);
}

void TestExcelWindows::rememberedWorkbookIsSelected()
{
    Env env;
    const QString path = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}));
    ensureRow(env.d.connection);
    savePath(env.d.connection, path);
    ExcelImportWindow form(env.context, &env.views, kNow);
    QCOMPARE(form.workbook(), path);
    QVERIFY(form.importButton->isEnabled());
}

void TestExcelWindows::createGroupRefusesTakenNamesAndCancel()
{
    Env env;
    env.d.addGroup(QStringLiteral("Ya"));
    ExcelImportWindow form(env.context, &env.views, kNow);
    env.prompter.answerInput(QStringLiteral("Ya"));
    env.prompter.answerInput(std::nullopt);
    form.createGroup();
    QCOMPARE(env.prompter.messageTexts().size(), 1);
    QVERIFY(env.prompter.messageTexts().constFirst().startsWith(QStringLiteral("Ya existe un grupo con el nombre 'Ya'")));
    QCOMPARE(form.groupCombo->count(), 2);
    QVERIFY(!form.joinGroupCheck->isChecked());

    env.prompter.answerInput(QStringLiteral("Clientes d'Ana"));
    form.createGroup();
    QCOMPARE(form.groupCombo->itemText(0), QStringLiteral("Ya"));     // the pending item is gone
    QCOMPARE(form.groupCombo->currentText(), QStringLiteral("Clientes d'Ana"));
    QVERIFY(form.joinGroupCheck->isChecked());
    QCOMPARE(env.prompter.messageTexts().constLast(), QStringLiteral("El grupo 'Clientes d'Ana' ha sido creado."));
    QCOMPARE(env.views.groupReloads, 1);
    QCOMPARE(env.d.connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE nombre=?1"), {"Clientes d'Ana"}).toInt(), 1);
}

void TestExcelWindows::importWithPendingGroupRunsToTheSummary()
{
    Env env;
    QList<QStringList> rows{{"Nombre", "Teléfono", "Dirección"}};
    for (int i = 0; i < 12; ++i)
        rows << QStringList{QStringLiteral("Contacto %1").arg(i), QStringLiteral("6000000%1").arg(i + 10),
                            QStringLiteral("Calle %1").arg(i)};
    const QString book = QFileInfo(exceltest::saveBook(env.d.home, exceltest::sheetOf(rows))).fileName();
    QPointer<ExcelImportWindow> form = openOn(env, book);
    form->joinGroupCheck->setChecked(true);
    env.prompter.answerMessage(ui::Answer::Ok);     // "El grupo ... ha sido creado."
    env.prompter.answerMessage(ui::Answer::Ok);     // the summary
    QPointer<ColumnMappingWindow> mapping = form->importWorkbook();
    QVERIFY(mapping);
    QVERIFY(!form->isVisible());
    const QVariant group = env.d.connection.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre=?1"),
                                                 {QStringLiteral("Excel_20240510_120000")});
    QVERIFY(group.isValid());
    QCOMPARE(form->groupCombo->itemText(0), QStringLiteral("Excel_20240510_120000"));
    QCOMPARE(readSettings(env.d.connection).path, env.d.home.file(book));

    QCOMPARE(mapping->infoLabels[3]->text(), QStringLiteral("13 filas por 3 columnas"));
    // First import ever: name A, phone B; after "No guardar" full name lands on the second data
    // column and address on the third; the other phone's index lies beyond the list.
    QCOMPARE(mapping->mappingCombos[0]->currentText(), QStringLiteral("Columna A"));
    QCOMPARE(mapping->mappingCombos[1]->currentText(), QStringLiteral("Columna B"));
    QCOMPARE(mapping->mappingCombos[2]->currentText(), QStringLiteral("Columna B"));
    QCOMPARE(mapping->mappingCombos[3]->currentText(), QStringLiteral("Columna C"));
    QCOMPARE(mapping->mappingCombos[4]->currentIndex(), 0);
    mapping->mappingCombos[2]->setCurrentIndex(0);
    mapping->mappingCombos[3]->setCurrentIndex(3);

    mapping->startImport();
    QVERIFY(form.isNull() || !form->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!env.prompter.messageTexts().isEmpty()
                                 && env.prompter.messageTexts().constLast().startsWith(QStringLiteral("Se han revisado")),
                             10000);
    QCOMPARE(env.prompter.messageTexts().constLast(), summaryText({12, 12, 12}));
    QCOMPARE(env.d.count(QStringLiteral("WHERE grupos_sid=?1"), {group.toString()}), 12);
    QCOMPARE(env.d.field(QStringLiteral("34600000015"), QStringLiteral("direccion")).toString(), QStringLiteral("Calle 5"));
    QCOMPARE(env.views.contactReloads, 1);
    QVERIFY(env.views.groupReloads >= 2);
    QVERIFY(!env.busy.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(mapping.isNull(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), 5000);
    // The choice is remembered for the next import.
    QCOMPARE(readSettings(env.d.connection).indices[3].toString(), QStringLiteral("3"));
    QVERIFY2(!env.prompter.hasUnexpected(), env.prompter.unexpectedReport().constData());
}

void TestExcelWindows::pendingGroupNotTickedCreatesNoGroup()
{
    Env env;
    const QString book = QFileInfo(exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}))).fileName();
    QPointer<ExcelImportWindow> form = openOn(env, book);
    QPointer<ColumnMappingWindow> mapping = form->importWorkbook();
    QVERIFY(mapping);
    QCOMPARE(env.d.connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos")).toInt(), 0);
    // "Cancelar" brings the first window back.
    mapping->cancel();
    QVERIFY(form->isVisible());
    delete form;
}

void TestExcelWindows::pendingGroupMadeMeanwhileIsJoinedNotDuplicated()
{
    Env env;
    const QString book = QFileInfo(exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}))).fileName();
    QPointer<ExcelImportWindow> form = openOn(env, book);
    const qint64 sid = env.d.addGroup(QStringLiteral("Excel_20240510_120000"));
    form->joinGroupCheck->setChecked(true);
    env.prompter.answerMessage(ui::Answer::Ok);
    QPointer<ColumnMappingWindow> mapping = form->importWorkbook();
    QVERIFY(mapping);
    QCOMPARE(env.d.connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos")).toInt(), 1);
    mapping->startImport();
    QTRY_VERIFY_WITH_TIMEOUT(mapping.isNull(), 5000);
    QCOMPARE(env.d.field(QStringLiteral("34600123456"), QStringLiteral("grupos_sid")).toString(), QString::number(sid));
}

void TestExcelWindows::mappingCombosFollowEachOtherAndSwapBack()
{
    Env env;
    const QString path = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456", "x"},
                                                                            {"Luis", "611223344", "y"}}));
    ColumnMappingWindow mapping(env.context, &env.views, path, {});
    QVERIFY(mapping.reloadSample());
    // A sample cell of the phone field chosen: the mapping combo and the other cells follow.
    mapping.mappingCombos[kFieldCount + kFieldCount * 2 + Phone]->setCurrentIndex(2);
    QCOMPARE(mapping.mappingCombos[Phone]->currentIndex(), 2);
    QCOMPARE(mapping.mappingCombos[kFieldCount + Phone]->currentText(), QStringLiteral("Columna C: x"));
    QCOMPARE(mapping.mappingCombos[kFieldCount + kFieldCount + Phone]->currentText(), QStringLiteral("Columna C: y"));

    const QString caption = mapping.fieldLabels[0]->text();
    const QString heading = mapping.sampleLabels[0]->text();
    mapping.swapCheck->click();
    QCOMPARE(mapping.fieldLabels[0]->text(), QStringLiteral("(Req)   Fila 'Nombre':"));
    QCOMPARE(mapping.sampleLabels[0]->text(), QStringLiteral("Datos Col. 1"));
    QCOMPARE(mapping.mappingCombos[Name]->itemText(0), QStringLiteral("Fila 1"));
    QVERIFY(mapping.instructionLabel->text().contains(QStringLiteral("las 5 primeras filas")));
    mapping.swapCheck->click();
    QCOMPARE(mapping.fieldLabels[0]->text(), caption);
    QCOMPARE(mapping.sampleLabels[0]->text(), heading);
    QCOMPARE(mapping.mappingCombos[Name]->itemText(0), QStringLiteral("Columna A"));
}

void TestExcelWindows::duplicateDialogAnswersAndPauses()
{
    Env env;
    env.d.addContact({"Ana", "34600000011", "", "", "", "", QVariant(), ""});
    env.d.addContact({"Luis", "34600000012", "", "", "", "", QVariant(), ""});
    const QString path = exceltest::saveBook(
        env.d.home, exceltest::sheetOf({{"Eva", "600000010"}, {"Ana B", "600000011"}, {"Luis B", "600000012"},
                                        {"Pep", "600000013"}}));
    QPointer<ColumnMappingWindow> mapping = new ColumnMappingWindow(env.context, &env.views, path, {});
    mapping->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(mapping->reloadSample());
    for (int i = FullName; i < kFieldCount; ++i)
        mapping->mappingCombos[size_t(i)]->setCurrentIndex(0);
    mapping->startImport();
    DuplicatePhoneDialog *dialog = mapping->duplicateDialog();
    ImportProgressWindow *progress = mapping->progressWindow();
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 5000);
    QCOMPARE(dialog->storedLabels[0]->text(), QStringLiteral("Ana"));
    QCOMPARE(dialog->importedLabels[0]->text(), QStringLiteral("Ana B"));
    QCOMPARE(dialog->phoneLabels[1]->text(), QStringLiteral("34600000011"));
    QCOMPARE(progress->statusLabel->text(), QStringLiteral("Esperando respuesta..."));
    QVERIFY(!progress->pauseButton->isEnabled());
    QVERIFY(!progress->tickTimer->isActive());

    // The window box: no answer; the run pauses on that record.
    dialog->close();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(progress->pauseButton->text(), QStringLiteral("Reanudar"));
    QVERIFY(progress->finishButton->isEnabled());
    QCOMPARE(progress->recordLabels[1]->text(), QStringLiteral("1"));
    progress->pauseButton->click();     // "Reanudar": the same record asks again
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 5000);
    QCOMPARE(dialog->importedLabels[0]->text(), QStringLiteral("Ana B"));

    // "Ignorar" for all: no further dialog in this run.
    dialog->applyToAllCheck->setChecked(true);
    dialog->ignoreButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!env.prompter.messageTexts().isEmpty(), 5000);
    QCOMPARE(env.prompter.messageTexts().constLast(), summaryText({2, 4, 0}));
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
    QPointer<ExcelImportWindow> form = openOn(env, QStringLiteral("roto.xlsx"));
    QVERIFY(!form->importWorkbook());
    QCOMPARE(env.prompter.messageTexts().size(), 1);
    QVERIFY(form->isVisible());

    // A workbook whose first sheet holds nothing.
    exceltest::saveBook(env.d.home, xlsx::Sheet(), QStringLiteral("vacio.xlsx"));
    form->selectFile(QStringLiteral("vacio.xlsx"));
    QVERIFY(!form->importWorkbook());
    QVERIFY(env.prompter.messageTexts().constLast().contains(QStringLiteral("no contiene datos")));
    QVERIFY(form->isVisible());
    delete form;
}

void TestExcelWindows::failedWriteShowsErrorNotSummary()
{
    Env env;
    QVERIFY(env.d.connection
                .executeScript(QStringLiteral("CREATE TRIGGER rechazo BEFORE INSERT ON Agenda WHEN NEW.nombre='Eva' "
                                              "BEGIN SELECT RAISE(ABORT,'disco lleno'); END"))
                .ok());
    const QString path = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}, {"Eva", "611223344"},
                                                                            {"Pep", "622334455"}}));
    QPointer<ColumnMappingWindow> mapping = new ColumnMappingWindow(env.context, &env.views, path, {});
    mapping->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(mapping->reloadSample());
    mapping->startImport();
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
    ExcelExportWindow form(env.context);
    // The help says what the export does here: a file name is asked, the saved file is opened.
    QStringList help;
    for (const QLabel *label : form.findChildren<QLabel *>())
        help << label->text();
    QVERIFY2(!help.join(QLatin1Char(' ')).contains(QStringLiteral("Guardar como")), qPrintable(help.join(QLatin1Char('\n'))));
    QVERIFY(help.join(QLatin1Char(' ')).contains(QStringLiteral("se le pide el nombre y la carpeta del archivo Excel")));
    QCOMPARE(form.groupCombo->count(), 2);
    QCOMPARE(form.groupCombo->itemText(1), QStringLiteral("Grupo: Socios"));
    form.groupCombo->setCurrentIndex(1);
    env.prompter.answerSaveFile(env.d.home.file(QStringLiteral("socios.xlsx")));
    form.exportSelection();
    QCOMPARE(form.lastOutcome().status, ExportOutcome::Status::Exported);
    QCOMPARE(form.lastOutcome().contacts, 1);
    QCOMPARE(env.prompter.messageTexts(), QStringList{kExportDone});
}

// The folder tree is moved with the arrow keys as well as the mouse: the file list shows the
// folder the tree's current entry names, and a file reached with the keys is the one imported.
void TestExcelWindows::folderTreeFollowsTheKeyboard()
{
    Env env;
    QDir home(env.d.home.path());
    QVERIFY(home.mkdir(QStringLiteral("dos")));
    QVERIFY(home.mkdir(QStringLiteral("uno")));
    const QString book = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}));
    QVERIFY(QFile::copy(book, home.filePath(QStringLiteral("uno/libro.xlsx"))));
    ExcelImportWindow form(env.context, &env.views, kNow);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.setFolder(home.filePath(QStringLiteral("dos")));
    const auto *dirs = qobject_cast<const QFileSystemModel *>(form.folderList->model());
    QVERIFY(dirs);
    // The tree lists a folder's entries as they are read: wait until both are there.
    QTRY_VERIFY_WITH_TIMEOUT(dirs->index(home.filePath(QStringLiteral("uno"))).isValid()
                                 && dirs->rowCount(dirs->index(home.path())) >= 2,
                             10000);
    form.folderList->setFocus();
    QTest::keyClick(form.folderList, Qt::Key_Down);
    QCOMPARE(QDir(form.folder()), QDir(home.filePath(QStringLiteral("uno"))));
    QCOMPARE(QDir(qobject_cast<const QFileSystemModel *>(form.fileList->model())->filePath(form.fileList->rootIndex())),
             QDir(home.filePath(QStringLiteral("uno"))));

    const auto *files = qobject_cast<const QFileSystemModel *>(form.fileList->model());
    QTRY_VERIFY_WITH_TIMEOUT(files->rowCount(form.fileList->rootIndex()) >= 1, 10000);
    form.fileList->setFocus();
    QTest::keyClick(form.fileList, Qt::Key_Home);
    QTRY_COMPARE(QFileInfo(form.workbook()).fileName(), QStringLiteral("libro.xlsx"));
    QVERIFY(form.importButton->isEnabled());
}

QTEST_MAIN(TestExcelWindows)
// The file list's popup acts on the file it was opened on. A file deleted since the list was drawn
// gets no menu: the file selected before must not be imported in its place.
void TestExcelWindows::filePopupActsOnTheFileUnderThePointer()
{
    Env env;
    exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Ana", "600123456"}}), QStringLiteral("a.xlsx"));
    const QString b = exceltest::saveBook(env.d.home, exceltest::sheetOf({{"Bea", "600654321"}}), QStringLiteral("b.xlsx"));
    QPointer<ExcelImportWindow> form = openOn(env, QStringLiteral("a.xlsx"));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.data()));
    QListView *list = form->fileList;
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
    QMenu *menu = form->fileMenu;
    const QList<QAction *> items = menu->actions();
    QCOMPARE(items.size(), 2);

    // Deleted from the disk; the list has not caught up yet.
    QVERIFY(QFile::remove(b));
    Q_EMIT list->customContextMenuRequested(list->visualRect(fileIndex(QStringLiteral("b.xlsx"))).center());
    QVERIFY(!menu->isVisible());
    QCOMPARE(form->workbook(), env.d.home.file(QStringLiteral("a.xlsx")));

    // On a file that is there, "Abrir archivo" opens that very file.
    Q_EMIT list->customContextMenuRequested(list->visualRect(fileIndex(QStringLiteral("a.xlsx"))).center());
    QVERIFY(menu->isVisible());
    menu->setActiveAction(items.at(0));
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(env.shell.urls().size(), 1);
    QVERIFY(env.shell.urls().constFirst().endsWith(QStringLiteral("/a.xlsx")));
    QVERIFY(!form->mappingWindow());
    delete form;
}

#include "test_excel_windows.moc"
