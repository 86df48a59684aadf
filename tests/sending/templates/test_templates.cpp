#include "platform/db/connection.h"
#include "sending/panel/panel_rig.h"
#include "sending/templates/template_editor.h"
#include "sending/templates/template_picker.h"
#include "sending/templates/template_rules.h"
#include "sending/templates/template_store.h"
#include "sending/templates/template_tree.h"
#include "sending/templates/templates_panel.h"
#include "startup/database/schema.h"
#include "support/popup_menus.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace sending;

namespace {

QTreeWidgetItem *nodeWithKey(QTreeWidget *tree, const QString &key)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *parent = tree->topLevelItem(i);
        if (claveNodo(parent) == key)
            return parent;
        for (int j = 0; j < parent->childCount(); ++j) {
            if (claveNodo(parent->child(j)) == key)
                return parent->child(j);
        }
    }
    return nullptr;
}

QPoint centerOf(QTreeWidget *tree, QTreeWidgetItem *node)
{
    return tree->visualItemRect(node).center();
}

} // namespace

class TestTemplates final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void keysLeadToTheRow_data();
    void keysLeadToTheRow();
    void fixedCharacters_data();
    void fixedCharacters();
    void saveRulesInOrder();

    void emptyListAndOrderBySid();
    void rightClickRules();
    void createModifyDelete();
    void editorShowsRealCountAndCancelDropsIt();
    void boundaryOf160Characters();
    void quotesAccentsAndLineBreaksRoundTrip();
    void staleTreeNeverReportsSuccess();
    void templateDeletedUnderOpenEditor();
    void pickReplacesTheMessageAndRecounts();
    void pickDeletedTemplateRefreshesBothLists();
    void pickerOnEmptiedTableRefreshesTheTab();
    void pickerRightClickRules();
    void pickIntoTheSendPanelRecounts();
    void popupsActOnTheTemplateTheyWereOpenedOn();

private:
    qint64 insertar(const QString &name, const QString &message);
    int filas();

    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<db::Connection> m_db;
    std::unique_ptr<testing::ScriptedPrompter> m_prompter;
};

void TestTemplates::init()
{
    m_home = std::make_unique<testing::TempHome>();
    m_db = std::make_unique<db::Connection>();
    QVERIFY(m_db->open(m_home->file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(startup::createSchema(*m_db).ok());
    m_prompter = std::make_unique<testing::ScriptedPrompter>();
}

void TestTemplates::cleanup()
{
    m_prompter.reset();
    m_db.reset();
    m_home.reset();
}

qint64 TestTemplates::insertar(const QString &name, const QString &message)
{
    TemplateStore store(*m_db);
    const PlantillaResult result = store.create(name, message);
    return result.ok() ? result.sid : -1;
}

int TestTemplates::filas()
{
    return m_db->scalar(QStringLiteral("SELECT count(*) FROM Plantillas")).toInt();
}

void TestTemplates::keysLeadToTheRow_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<qint64>("sid");
    QTest::newRow("name node") << clavePlantilla(12) << qint64(12);
    QTest::newRow("text node") << claveMensaje(12) << qint64(12);
    QTest::newRow("empty list") << QStringLiteral("l0") << qint64(0);
    QTest::newRow("no number") << QStringLiteral("pPlantilla x") << qint64(0);
}

void TestTemplates::keysLeadToTheRow()
{
    QFETCH(QString, key);
    QFETCH(qint64, sid);
    QCOMPARE(sidDeClave(key).value_or(0), sid);
}

void TestTemplates::fixedCharacters_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<qsizetype>("fixed");
    QTest::newRow("keyword") << QStringLiteral("Hola [NOMBRE]") << qsizetype(5);
    QTest::newRow("confirm form") << QStringLiteral("Hola [NOMBRE_CONFIRMAR]") << qsizetype(23);
    QTest::newRow("lower case") << QStringLiteral("Hola [nombre]") << qsizetype(13);
    const QString twice = QStringLiteral("[NOMBRE_COMPLETO]").repeated(2);
    QTest::newRow("150 with two full names") << twice + QString(150 - twice.size(), QLatin1Char('x')) << qsizetype(116);
    QTest::newRow("sample") << muestraInicial() << qsizetype(157);
}

void TestTemplates::fixedCharacters()
{
    QFETCH(QString, message);
    QFETCH(qsizetype, fixed);
    QCOMPARE(caracteresFijos(message), fixed);
}

void TestTemplates::saveRulesInOrder()
{
    QVERIFY(muestraInicial().size() == 157);
    QCOMPARE(validarPlantilla(QString(), QString())->titulo, QStringLiteral("Mensaje predefinido vacío"));
    QCOMPARE(validarPlantilla(QString(), QString(170, QLatin1Char('a')))->titulo,
             QStringLiteral("Mensaje predefinido demasiado largo"));
    // 170 characters are refused even when the keywords leave few fixed ones.
    QVERIFY(validarPlantilla(QStringLiteral("n"), QStringLiteral("[COMENTARIOS]").repeated(13) + QStringLiteral("x"))
                .has_value());
    QCOMPARE(validarPlantilla(QString(), QStringLiteral("Hola"))->titulo,
             QStringLiteral("Nombre de la plantilla inexistente"));
    QVERIFY(!validarPlantilla(QStringLiteral("  "), QStringLiteral("Hola")).has_value());
    QVERIFY(!validarPlantilla(QString(255, QLatin1Char('n')), QStringLiteral("Hola")).has_value());
    QCOMPARE(validarPlantilla(QString(256, QLatin1Char('n')), QStringLiteral("Hola"))->titulo,
             QStringLiteral("Nombre de la plantilla demasiado largo"));
}

void TestTemplates::emptyListAndOrderBySid()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.f_plantillas();
    QTreeWidget *tree = panel.TreeView1();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(claveNodo(tree->topLevelItem(0)), QStringLiteral("l0"));
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Sin registros"));
    QVERIFY(panel.plantillasVacias());

    const qint64 first = insertar(QStringLiteral("Zeta"), QStringLiteral("uno"));
    const qint64 second = insertar(QStringLiteral("Alfa"), QStringLiteral("dos"));
    insertar(QStringLiteral("Alfa"), QStringLiteral("tres"));     // names need not be unique
    panel.f_plantillas();
    QVERIFY(!panel.plantillasVacias());
    QCOMPARE(tree->topLevelItemCount(), 3);
    QCOMPARE(claveNodo(tree->topLevelItem(0)), clavePlantilla(first));
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Zeta"));
    QCOMPARE(claveNodo(tree->topLevelItem(1)->child(0)), claveMensaje(second));
    QCOMPARE(tree->topLevelItem(1)->child(0)->text(0), QStringLiteral("dos"));
    QVERIFY(!tree->topLevelItem(0)->isExpanded());
}

void TestTemplates::rightClickRules()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.resize(400, 300);
    panel.show();
    panel.f_plantillas();
    QTreeWidget *tree = panel.TreeView1();
    QMenu *menu = panel.mnurclick_listado_plantillas();

    // The empty-list node: only "Crear nueva plantilla".
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, tree->topLevelItem(0)));
    QVERIFY(menu->isVisible());
    QVERIFY(!panel.mnurclick_listado_plantillas_modificar()->isEnabled());
    QVERIFY(!panel.mnurclick_listado_plantillas_eliminar()->isEnabled());
    QVERIFY(panel.mnurclick_listado_plantillas_crear()->isEnabled());
    menu->hide();

    const qint64 sid = insertar(QStringLiteral("Cita"), QStringLiteral("Hola"));
    panel.f_plantillas();
    QTreeWidgetItem *node = tree->topLevelItem(0);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, node));
    QCOMPARE(tree->currentItem(), node);
    QVERIFY(panel.mnurclick_listado_plantillas_modificar()->isEnabled());
    QVERIFY(panel.mnurclick_listado_plantillas_eliminar()->isEnabled());
    menu->hide();

    // Empty space below the nodes: the selection stays, but the click hit nothing.
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, QPoint(10, tree->viewport()->height() - 5));
    QCOMPARE(tree->currentItem(), node);
    QVERIFY(!panel.mnurclick_listado_plantillas_modificar()->isEnabled());
    QVERIFY(!panel.mnurclick_listado_plantillas_eliminar()->isEnabled());
    menu->hide();

    // The text node leads to the same row.
    node->setExpanded(true);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, node->child(0)));
    QCOMPARE(claveNodo(tree->currentItem()), claveMensaje(sid));
    QVERIFY(panel.mnurclick_listado_plantillas_eliminar()->isEnabled());
    menu->hide();
    QCOMPARE(m_prompter->count(), 0);
}

void TestTemplates::createModifyDelete()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.f_plantillas();

    // Create.
    panel.mnurclick_listado_plantillas_crear_Click();
    Form10 *editor = panel.editor();
    QVERIFY(editor && editor->isVisible());
    editor->Text2()->setText(QStringLiteral("Recordatorio"));
    editor->Text1()->setPlainText(QStringLiteral("Hola [NOMBRE]"));
    editor->Command1()->click();
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("La plantilla fue guardada satisfactoriamente."));
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla creada"));
    QCOMPARE(filas(), 1);
    QVERIFY(!editor->isVisible());
    QCOMPARE(panel.TreeView1()->topLevelItem(0)->text(0), QStringLiteral("Recordatorio"));

    // The kept editor comes back empty, and still inserts.
    panel.mnurclick_listado_plantillas_crear_Click();
    QCOMPARE(panel.editor(), editor);
    QCOMPARE(editor->Command1()->text(), QStringLiteral("Guardar plantilla"));
    QVERIFY(editor->Text1()->toPlainText().isEmpty());
    QCOMPARE(editor->SkinLabel3()->text(), QStringLiteral("0"));
    editor->Text2()->setText(QStringLiteral("Segunda"));
    editor->Text1()->setPlainText(QStringLiteral("Adiós"));
    editor->Command1()->click();
    QCOMPARE(filas(), 2);

    // Modify, from the text node of the first template.
    const qint64 sid = m_db->scalar(QStringLiteral("SELECT min(sid) FROM Plantillas")).toLongLong();
    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), claveMensaje(sid))));
    panel.mnurclick_listado_plantillas_modificar_Click();
    QCOMPARE(editor->Command1()->text(), QStringLiteral("Modificar plantilla"));
    QCOMPARE(editor->sidModificado().value_or(0), sid);
    QCOMPARE(editor->Text2()->text(), QStringLiteral("Recordatorio"));
    QCOMPARE(editor->SkinLabel3()->text(), QStringLiteral("5"));
    editor->Text1()->setPlainText(QStringLiteral("Hola otra vez"));
    editor->Command1()->click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Modificar plantilla"));
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT mensaje FROM Plantillas WHERE sid = ?1"), {sid}).toString(),
             QStringLiteral("Hola otra vez"));
    QCOMPARE(filas(), 2);
    QVERIFY(!editor->sidModificado());

    // Leaving modify mode: the next "Crear nueva plantilla" adds a row, it does not touch that one.
    panel.mnurclick_listado_plantillas_crear_Click();
    QCOMPARE(editor->Command1()->text(), QStringLiteral("Guardar plantilla"));
    editor->Text2()->setText(QStringLiteral("Tercera"));
    editor->Text1()->setPlainText(QStringLiteral("Otra más"));
    editor->Command1()->click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla creada"));
    QCOMPARE(filas(), 3);
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT mensaje FROM Plantillas WHERE sid = ?1"), {sid}).toString(),
             QStringLiteral("Hola otra vez"));

    // Delete from the text node, with no question first.
    m_prompter->clear();
    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), claveMensaje(sid))));
    panel.mnurclick_listado_plantillas_eliminar_Click();
    QCOMPARE(m_prompter->count(), 1);
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("Plantilla eliminada correctamente"));
    QCOMPARE(filas(), 2);
    QCOMPARE(panel.TreeView1()->topLevelItemCount(), 2);
    QCOMPARE(panel.TreeView1()->topLevelItem(0)->text(0), QStringLiteral("Segunda"));
}

void TestTemplates::editorShowsRealCountAndCancelDropsIt()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.mnurclick_listado_plantillas_crear_Click();
    Form10 *editor = panel.editor();
    QCOMPARE(editor->windowTitle(), QStringLiteral("Nueva plantilla"));
    QCOMPARE(editor->mensaje(), muestraInicial());
    QCOMPARE(editor->SkinLabel3()->text(), QStringLiteral("157"));
    QCOMPARE(editor->Command1()->text(), QStringLiteral("Guardar"));
    editor->Text1()->setPlainText(QStringLiteral("[TELEFONO]"));
    QCOMPARE(editor->SkinLabel3()->text(), QStringLiteral("0"));

    editor->Text2()->setText(QStringLiteral("sin guardar"));
    editor->Command2()->click();
    QCOMPARE(panel.editor(), nullptr);
    QCOMPARE(filas(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    panel.mnurclick_listado_plantillas_crear_Click();
    QVERIFY(panel.editor() != nullptr);
    QCOMPARE(panel.editor()->mensaje(), muestraInicial());
    QVERIFY(panel.editor()->Text2()->text().isEmpty());
    QCOMPARE(panel.editor()->Text2()->maxLength(), 255);
}

void TestTemplates::boundaryOf160Characters()
{
    TemplateStore store(*m_db);
    Form10 editor(store, *m_prompter);
    QSignalSpy changes(&editor, &Form10::plantillasCambiadas);
    editor.Text2()->setText(QStringLiteral("Límite"));

    // 79 + CR LF + 80 = 161: the line end counts two.
    const QString tooLong = QString(79, QLatin1Char('a')) + QLatin1Char('\n') + QString(80, QLatin1Char('b'));
    editor.Text1()->setPlainText(tooLong);
    editor.Command1_Click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Mensaje predefinido demasiado largo"));
    QCOMPARE(filas(), 0);
    QCOMPARE(editor.Text1()->toPlainText(), tooLong);
    QCOMPARE(editor.Text2()->text(), QStringLiteral("Límite"));

    const QString justFits = QString(78, QLatin1Char('a')) + QLatin1Char('\n') + QString(80, QLatin1Char('b'));
    editor.Text1()->setPlainText(justFits);
    editor.Command1_Click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla creada"));
    QCOMPARE(filas(), 1);
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT length(mensaje) FROM Plantillas")).toInt(), 160);
    QCOMPARE(changes.count(), 1);

    // Empty text wins over the missing name.
    editor.Command1_Click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Mensaje predefinido vacío"));
}

void TestTemplates::quotesAccentsAndLineBreaksRoundTrip()
{
    const QString name = QStringLiteral("O'Donnell \"Ñandú\"; --");
    const QString typed = QStringLiteral("Señor O'Brien,\n\"cita\" mañana\n\nÁÉÍÓÚ ' ; DROP TABLE Plantillas");

    TemplatesPanel panel(*m_db, *m_prompter);
    panel.mnurclick_listado_plantillas_crear_Click();
    panel.editor()->Text2()->setText(name);
    panel.editor()->Text1()->setPlainText(typed);
    panel.editor()->Command1()->click();

    const auto savedRows = m_db->select(QStringLiteral("SELECT sid, nombre, mensaje FROM Plantillas"));
    QCOMPARE(savedRows.size(), size_t(1));
    const qint64 sid = savedRows[0].value(0).toLongLong();
    QCOMPARE(savedRows[0].value(1).toString(), name);
    QCOMPARE(savedRows[0].value(2).toString(),
             QStringLiteral("Señor O'Brien,\r\n\"cita\" mañana\r\n\r\nÁÉÍÓÚ ' ; DROP TABLE Plantillas"));

    // Back into the editor as typed.
    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), clavePlantilla(sid))));
    panel.mnurclick_listado_plantillas_modificar_Click();
    QCOMPARE(panel.editor()->Text2()->text(), name);
    QCOMPARE(panel.editor()->Text1()->toPlainText(), typed);
    panel.editor()->Command1()->click();
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT nombre FROM Plantillas WHERE sid = ?1"), {sid}).toString(), name);

    // And into the send panel's message box.
    QPlainTextEdit messageEdit;
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);
    Form11 *picker = launcher.open();
    QVERIFY(picker->tomarPlantilla(claveMensaje(sid)));
    QCOMPARE(messageEdit.toPlainText(), typed);
}

void TestTemplates::staleTreeNeverReportsSuccess()
{
    const qint64 sid = insertar(QStringLiteral("Vieja"), QStringLiteral("texto"));
    const qint64 other = insertar(QStringLiteral("Otra"), QStringLiteral("texto"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.f_plantillas();
    // Another workstation deletes it; this tree still shows it.
    TemplateStore(*m_db).remove(sid);

    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), clavePlantilla(sid))));
    panel.mnurclick_listado_plantillas_modificar_Click();
    QCOMPARE(panel.editor(), nullptr);
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QCOMPARE(panel.TreeView1()->topLevelItemCount(), 1);
    QCOMPARE(claveNodo(panel.TreeView1()->topLevelItem(0)), clavePlantilla(other));

    // Deleting it again is no success either.
    TemplateStore(*m_db).remove(other);
    m_prompter->clear();
    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), claveMensaje(other))));
    panel.mnurclick_listado_plantillas_eliminar_Click();
    QCOMPARE(m_prompter->count(), 1);
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QVERIFY(panel.plantillasVacias());
}

void TestTemplates::templateDeletedUnderOpenEditor()
{
    const qint64 sid = insertar(QStringLiteral("Cita"), QStringLiteral("Hola"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.f_plantillas();
    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), clavePlantilla(sid))));
    panel.mnurclick_listado_plantillas_modificar_Click();
    Form10 *editor = panel.editor();
    editor->Text1()->setPlainText(QStringLiteral("Texto nuevo"));

    TemplateStore(*m_db).remove(sid);
    editor->Command1()->click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QCOMPARE(filas(), 0);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->Text1()->toPlainText(), QStringLiteral("Texto nuevo"));
    QCOMPARE(editor->Text2()->text(), QStringLiteral("Cita"));
    QCOMPARE(editor->Command1()->text(), QStringLiteral("Guardar plantilla"));
    QVERIFY(panel.plantillasVacias());

    // A second click keeps the text as a new template.
    editor->Command1()->click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla creada"));
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT mensaje FROM Plantillas")).toString(), QStringLiteral("Texto nuevo"));
    QVERIFY(!panel.plantillasVacias());
}

void TestTemplates::pickReplacesTheMessageAndRecounts()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.f_plantillas();
    QPlainTextEdit messageEdit;
    messageEdit.setPlainText(QStringLiteral("ya escrito"));
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);

    launcher.Image3_Click();
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("No existe ninguna plantilla creada."));
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Sin plantillas"));
    QCOMPARE(launcher.picker(), nullptr);

    // An empty picker (the list was stale) takes nothing on its "Sin plantillas" node.
    Form11 *picker = launcher.open();
    QCOMPARE(picker->TreeView1()->topLevelItem(0)->text(0), QStringLiteral("Sin plantillas"));
    QVERIFY(!picker->tomarPlantilla(QString()));     // no node
    QVERIFY(!picker->tomarPlantilla(QStringLiteral("l0")));
    picker->close();

    insertar(QStringLiteral("Uno"), QStringLiteral("Primero"));
    const qint64 sid = insertar(QStringLiteral("Dos"), QStringLiteral("Línea 1\r\nLínea 2"));
    panel.f_plantillas();
    launcher.Image3_Click();
    picker = launcher.picker();
    QVERIFY(picker && picker->isVisible());
    QCOMPARE(picker->windowTitle(), QStringLiteral("Enviar SMS - Plantillas"));

    QSignalSpy recounts(&messageEdit, &QPlainTextEdit::textChanged);
    QTreeWidget *tree = picker->TreeView1();
    QTreeWidgetItem *node = nodeWithKey(tree, clavePlantilla(sid));
    node->setExpanded(true);
    QVERIFY(QTest::qWaitForWindowExposed(picker));
    QVERIFY(!tree->visualItemRect(node->child(0)).isEmpty());
    const QPoint point = tree->visualItemRect(node->child(0)).center();
    // A widget double click arrives after the press of the same click.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, point);
    QCOMPARE(messageEdit.toPlainText(), QStringLiteral("Línea 1\nLínea 2"));
    QVERIFY(recounts.count() >= 1);
    QCOMPARE(launcher.picker(), nullptr);
    QCOMPARE(m_prompter->count(), 1);
}

void TestTemplates::pickDeletedTemplateRefreshesBothLists()
{
    const qint64 sid = insertar(QStringLiteral("Se irá"), QStringLiteral("adiós"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.f_plantillas();
    QPlainTextEdit messageEdit;
    messageEdit.setPlainText(QStringLiteral("lo mío"));
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);
    Form11 *picker = launcher.open();
    TemplateStore(*m_db).remove(sid);

    QVERIFY(testing::rightPress(picker->TreeView1(), nodeWithKey(picker->TreeView1(), clavePlantilla(sid))));
    picker->mnurclick_enviarplantilla_seleccionar()->trigger();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QCOMPARE(messageEdit.toPlainText(), QStringLiteral("lo mío"));
    QCOMPARE(launcher.picker(), picker);
    QCOMPARE(claveDelPrimerNodo(*picker->TreeView1()), QStringLiteral("l0"));
    QVERIFY(panel.plantillasVacias());
}

void TestTemplates::pickerOnEmptiedTableRefreshesTheTab()
{
    const qint64 sid = insertar(QStringLiteral("Única"), QStringLiteral("texto"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.f_plantillas();
    QPlainTextEdit messageEdit;
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);
    // Deleted from another workstation while the tab still lists it.
    TemplateStore(*m_db).remove(sid);

    launcher.Image3_Click();
    QVERIFY(launcher.picker() != nullptr);
    QCOMPARE(claveDelPrimerNodo(*launcher.picker()->TreeView1()), QStringLiteral("l0"));
    QVERIFY(panel.plantillasVacias());
    launcher.picker()->close();

    launcher.Image3_Click();
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("No existe ninguna plantilla creada."));
}

void TestTemplates::pickerRightClickRules()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    QPlainTextEdit messageEdit;
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);

    Form11 *picker = launcher.open();
    QVERIFY(QTest::qWaitForWindowExposed(picker));
    QTreeWidget *tree = picker->TreeView1();
    QMenu *menu = picker->mnurclick_enviarplantilla();
    QCOMPARE(picker->Command1()->text(), QStringLiteral("Cerrar"));
    QCOMPARE(picker->mnurclick_enviarplantilla_seleccionar()->text(),
             QStringLiteral("Seleccionar plantilla para envio"));

    // "Sin plantillas" is selected by the click but offers nothing.
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, tree->topLevelItem(0)));
    QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
    QVERIFY(!menu->isVisible());

    const qint64 sid = insertar(QStringLiteral("Cita"), QStringLiteral("Hola"));
    picker->f_mostrar_plantillas();
    QTreeWidgetItem *node = tree->topLevelItem(0);
    QCOMPARE(claveNodo(node), clavePlantilla(sid));

    // On the node's line, well to the right of its short text.
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {},
                      QPoint(tree->viewport()->width() - 10, centerOf(tree, node).y()));
    QCOMPARE(tree->currentItem(), node);
    QVERIFY(menu->isVisible());
    menu->hide();

    // Empty space below the nodes: no node in reach, no popup.
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, QPoint(10, tree->viewport()->height() - 5));
    QVERIFY(!menu->isVisible());

    // The popup's item takes the selected template and closes the window.
    picker->mnurclick_enviarplantilla_seleccionar()->trigger();
    QCOMPARE(messageEdit.toPlainText(), QStringLiteral("Hola"));
    QCOMPARE(launcher.picker(), nullptr);
    QCOMPARE(m_prompter->count(), 0);
}

void TestTemplates::pickIntoTheSendPanelRecounts()
{
    testing::PanelRig rig;
    TemplateStore store(rig.conexion);
    const qint64 sid = store.create(QStringLiteral("Dos líneas"), QStringLiteral("Línea 1\r\nLínea 2")).sid;
    TemplatesPanel panel(rig.conexion, rig.prompter);
    panel.f_plantillas();
    TemplatePickerLauncher launcher(rig.conexion, rig.prompter, panel, rig.view->Text1());

    rig.view->Text1()->setPlainText(QString(200, QLatin1Char('x')));
    rig.view->Text2()->setPlainText(QStringLiteral("34600123456"));
    QCOMPARE(rig.view->lblLenMax()->text(), QStringLiteral("306"));

    Form11 *picker = launcher.open();
    QVERIFY(picker->tomarPlantilla(claveMensaje(sid)));

    // The whole message replaced; the line end counts two, as it will be sent.
    QCOMPARE(rig.view->Text1()->toPlainText(), QStringLiteral("Línea 1\nLínea 2"));
    QCOMPARE(rig.view->lblMsglen()->text(), QStringLiteral("16"));
    QCOMPARE(rig.view->lblLenMax()->text(), QStringLiteral("160"));
    // The rest of the panel stays as it was.
    QCOMPARE(rig.view->Text2()->toPlainText(), QStringLiteral("34600123456"));
    QCOMPARE(rig.view->Text3()->text(), QStringLiteral("Inmediato"));
}

QTEST_MAIN(TestTemplates)
// Both popups act on the template they were opened on. While a menu is up the list is rebuilt
// (the editor saved, another window found a template gone) and the tree's current item moves to
// the first template; the items still act on the one the user clicked.
void TestTemplates::popupsActOnTheTemplateTheyWereOpenedOn()
{
    const qint64 first = insertar(QStringLiteral("Aviso"), QStringLiteral("texto del aviso"));
    const qint64 second = insertar(QStringLiteral("Cita"), QStringLiteral("texto de la cita"));
    const qint64 third = insertar(QStringLiteral("Oferta"), QStringLiteral("texto de la oferta"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.f_plantillas();
    QMenu *menu = panel.mnurclick_listado_plantillas();
    const auto redraw = [&panel, menu] {
        QVERIFY(menu->isVisible());
        panel.f_plantillas();
        panel.TreeView1()->setCurrentItem(panel.TreeView1()->topLevelItem(0));
    };

    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), claveMensaje(second))));
    redraw();
    m_prompter->answerMessage(ui::Answer::Ok);
    QVERIFY(testing::choose(menu, panel.mnurclick_listado_plantillas_eliminar()));
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("Plantilla eliminada correctamente"));
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Plantillas WHERE sid = ?1"), {second}).toInt(), 0);
    QCOMPARE(filas(), 2);

    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), clavePlantilla(third))));
    redraw();
    QVERIFY(testing::choose(menu, panel.mnurclick_listado_plantillas_modificar()));
    QVERIFY(panel.editor());
    QCOMPARE(panel.editor()->sidModificado(), std::optional<qint64>(third));
    QCOMPARE(panel.editor()->Text2()->text(), QStringLiteral("Oferta"));
    panel.editor()->close();

    // The picker takes the text of the template clicked.
    QPlainTextEdit messageEdit;
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);
    Form11 *picker = launcher.open();
    QVERIFY(testing::rightPress(picker->TreeView1(), nodeWithKey(picker->TreeView1(), clavePlantilla(third))));
    QVERIFY(picker->mnurclick_enviarplantilla()->isVisible());
    picker->f_mostrar_plantillas();
    picker->TreeView1()->setCurrentItem(picker->TreeView1()->topLevelItem(0));
    QVERIFY(testing::choose(picker->mnurclick_enviarplantilla(), picker->mnurclick_enviarplantilla_seleccionar()));
    QCOMPARE(messageEdit.toPlainText(), QStringLiteral("texto de la oferta"));

    // A template deleted while its menu is up: the other one stays, and the user hears why.
    const int notices = m_prompter->count();
    QVERIFY(testing::rightPress(panel.TreeView1(), nodeWithKey(panel.TreeView1(), clavePlantilla(third))));
    TemplateStore(*m_db).remove(third);
    redraw();
    m_prompter->answerMessage(ui::Answer::Ok);
    QVERIFY(testing::choose(menu, panel.mnurclick_listado_plantillas_eliminar()));
    QCOMPARE(m_prompter->count(), notices + 1);
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Plantillas WHERE sid = ?1"), {first}).toInt(), 1);
}

#include "test_templates.moc"
