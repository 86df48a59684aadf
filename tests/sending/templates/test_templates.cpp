#include "database/schema.h"
#include "platform/db/connection.h"
#include "sending/panel/panel_rig.h"
#include "sending/templates/template_editor_dialog.h"
#include "sending/templates/template_picker_dialog.h"
#include "sending/templates/template_rules.h"
#include "sending/templates/template_store.h"
#include "sending/templates/template_tree.h"
#include "sending/templates/templates_panel.h"
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
        if (nodeKey(parent) == key)
            return parent;
        for (int j = 0; j < parent->childCount(); ++j) {
            if (nodeKey(parent->child(j)) == key)
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
    qint64 insertTemplate(const QString &name, const QString &message);
    int templateRowCount();

    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<db::Connection> m_db;
    std::unique_ptr<testing::ScriptedPrompter> m_prompter;
};

void TestTemplates::init()
{
    m_home = std::make_unique<testing::TempHome>();
    m_db = std::make_unique<db::Connection>();
    QVERIFY(m_db->open(m_home->file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing).ok());
    QVERIFY(database::createSchema(*m_db).ok());
    m_prompter = std::make_unique<testing::ScriptedPrompter>();
}

void TestTemplates::cleanup()
{
    m_prompter.reset();
    m_db.reset();
    m_home.reset();
}

qint64 TestTemplates::insertTemplate(const QString &name, const QString &message)
{
    TemplateStore store(*m_db);
    const TemplateResult result = store.create(name, message);
    return result.ok() ? result.sid : -1;
}

int TestTemplates::templateRowCount()
{
    return m_db->scalar(QStringLiteral("SELECT count(*) FROM Plantillas")).toInt();
}

void TestTemplates::keysLeadToTheRow_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<qint64>("sid");
    QTest::newRow("name node") << templateKey(12) << qint64(12);
    QTest::newRow("text node") << messageKey(12) << qint64(12);
    QTest::newRow("empty list") << QStringLiteral("l0") << qint64(0);
    QTest::newRow("no number") << QStringLiteral("pPlantilla x") << qint64(0);
}

void TestTemplates::keysLeadToTheRow()
{
    QFETCH(QString, key);
    QFETCH(qint64, sid);
    QCOMPARE(sidFromKey(key).value_or(0), sid);
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
    QTest::newRow("sample") << initialSample() << qsizetype(157);
}

void TestTemplates::fixedCharacters()
{
    QFETCH(QString, message);
    QFETCH(qsizetype, fixed);
    QCOMPARE(fixedCharacterCount(message), fixed);
}

void TestTemplates::saveRulesInOrder()
{
    QVERIFY(initialSample().size() == 157);
    QCOMPARE(validateTemplate(QString(), QString())->title, QStringLiteral("Mensaje predefinido vacío"));
    QCOMPARE(validateTemplate(QString(), QString(170, QLatin1Char('a')))->title,
             QStringLiteral("Mensaje predefinido demasiado largo"));
    // 170 characters are refused even when the keywords leave few fixed ones.
    QVERIFY(validateTemplate(QStringLiteral("n"), QStringLiteral("[COMENTARIOS]").repeated(13) + QStringLiteral("x"))
                .has_value());
    QCOMPARE(validateTemplate(QString(), QStringLiteral("Hola"))->title,
             QStringLiteral("Nombre de la plantilla inexistente"));
    QVERIFY(!validateTemplate(QStringLiteral("  "), QStringLiteral("Hola")).has_value());
    QVERIFY(!validateTemplate(QString(255, QLatin1Char('n')), QStringLiteral("Hola")).has_value());
    QCOMPARE(validateTemplate(QString(256, QLatin1Char('n')), QStringLiteral("Hola"))->title,
             QStringLiteral("Nombre de la plantilla demasiado largo"));
}

void TestTemplates::emptyListAndOrderBySid()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.reloadTemplates();
    QTreeWidget *tree = panel.templateList();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(nodeKey(tree->topLevelItem(0)), QStringLiteral("l0"));
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Sin registros"));
    QVERIFY(panel.hasNoTemplates());

    const qint64 first = insertTemplate(QStringLiteral("Zeta"), QStringLiteral("uno"));
    const qint64 second = insertTemplate(QStringLiteral("Alfa"), QStringLiteral("dos"));
    insertTemplate(QStringLiteral("Alfa"), QStringLiteral("tres"));     // names need not be unique
    panel.reloadTemplates();
    QVERIFY(!panel.hasNoTemplates());
    QCOMPARE(tree->topLevelItemCount(), 3);
    QCOMPARE(nodeKey(tree->topLevelItem(0)), templateKey(first));
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Zeta"));
    QCOMPARE(nodeKey(tree->topLevelItem(1)->child(0)), messageKey(second));
    QCOMPARE(tree->topLevelItem(1)->child(0)->text(0), QStringLiteral("dos"));
    QVERIFY(!tree->topLevelItem(0)->isExpanded());
}

void TestTemplates::rightClickRules()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.resize(400, 300);
    panel.show();
    panel.reloadTemplates();
    QTreeWidget *tree = panel.templateList();
    QMenu *menu = panel.popupMenu();

    // The empty-list node: only "Crear nueva plantilla".
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, tree->topLevelItem(0)));
    QVERIFY(menu->isVisible());
    QVERIFY(!panel.modifyAction()->isEnabled());
    QVERIFY(!panel.deleteAction()->isEnabled());
    QVERIFY(panel.createAction()->isEnabled());
    menu->hide();

    const qint64 sid = insertTemplate(QStringLiteral("Cita"), QStringLiteral("Hola"));
    panel.reloadTemplates();
    QTreeWidgetItem *node = tree->topLevelItem(0);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, node));
    QCOMPARE(tree->currentItem(), node);
    QVERIFY(panel.modifyAction()->isEnabled());
    QVERIFY(panel.deleteAction()->isEnabled());
    menu->hide();

    // Empty space below the nodes: the selection stays, but the click hit nothing.
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, QPoint(10, tree->viewport()->height() - 5));
    QCOMPARE(tree->currentItem(), node);
    QVERIFY(!panel.modifyAction()->isEnabled());
    QVERIFY(!panel.deleteAction()->isEnabled());
    menu->hide();

    // The text node leads to the same row.
    node->setExpanded(true);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, node->child(0)));
    QCOMPARE(nodeKey(tree->currentItem()), messageKey(sid));
    QVERIFY(panel.deleteAction()->isEnabled());
    menu->hide();
    QCOMPARE(m_prompter->count(), 0);
}

void TestTemplates::createModifyDelete()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.reloadTemplates();

    // Create.
    panel.createTemplate();
    TemplateEditorDialog *editor = panel.editor();
    QVERIFY(editor && editor->isVisible());
    editor->nameBox()->setText(QStringLiteral("Recordatorio"));
    editor->messageBox()->setPlainText(QStringLiteral("Hola [NOMBRE]"));
    editor->saveButton()->click();
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("La plantilla fue guardada satisfactoriamente."));
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla creada"));
    QCOMPARE(templateRowCount(), 1);
    QVERIFY(!editor->isVisible());
    QCOMPARE(panel.templateList()->topLevelItem(0)->text(0), QStringLiteral("Recordatorio"));

    // The kept editor comes back empty, and still inserts.
    panel.createTemplate();
    QCOMPARE(panel.editor(), editor);
    QCOMPARE(editor->saveButton()->text(), QStringLiteral("Guardar plantilla"));
    QVERIFY(editor->messageBox()->toPlainText().isEmpty());
    QCOMPARE(editor->fixedCountLabel()->text(), QStringLiteral("0"));
    editor->nameBox()->setText(QStringLiteral("Segunda"));
    editor->messageBox()->setPlainText(QStringLiteral("Adiós"));
    editor->saveButton()->click();
    QCOMPARE(templateRowCount(), 2);

    // Modify, from the text node of the first template.
    const qint64 sid = m_db->scalar(QStringLiteral("SELECT min(sid) FROM Plantillas")).toLongLong();
    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), messageKey(sid))));
    panel.modifyTemplate();
    QCOMPARE(editor->saveButton()->text(), QStringLiteral("Modificar plantilla"));
    QCOMPARE(editor->editedSid().value_or(0), sid);
    QCOMPARE(editor->nameBox()->text(), QStringLiteral("Recordatorio"));
    QCOMPARE(editor->fixedCountLabel()->text(), QStringLiteral("5"));
    editor->messageBox()->setPlainText(QStringLiteral("Hola otra vez"));
    editor->saveButton()->click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Modificar plantilla"));
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT mensaje FROM Plantillas WHERE sid = ?1"), {sid}).toString(),
             QStringLiteral("Hola otra vez"));
    QCOMPARE(templateRowCount(), 2);
    QVERIFY(!editor->editedSid());

    // Leaving modify mode: the next "Crear nueva plantilla" adds a row, it does not touch that one.
    panel.createTemplate();
    QCOMPARE(editor->saveButton()->text(), QStringLiteral("Guardar plantilla"));
    editor->nameBox()->setText(QStringLiteral("Tercera"));
    editor->messageBox()->setPlainText(QStringLiteral("Otra más"));
    editor->saveButton()->click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla creada"));
    QCOMPARE(templateRowCount(), 3);
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT mensaje FROM Plantillas WHERE sid = ?1"), {sid}).toString(),
             QStringLiteral("Hola otra vez"));

    // Delete from the text node, with no question first.
    m_prompter->clear();
    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), messageKey(sid))));
    panel.deleteTemplate();
    QCOMPARE(m_prompter->count(), 1);
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("Plantilla eliminada correctamente"));
    QCOMPARE(templateRowCount(), 2);
    QCOMPARE(panel.templateList()->topLevelItemCount(), 2);
    QCOMPARE(panel.templateList()->topLevelItem(0)->text(0), QStringLiteral("Segunda"));
}

void TestTemplates::editorShowsRealCountAndCancelDropsIt()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.createTemplate();
    TemplateEditorDialog *editor = panel.editor();
    QCOMPARE(editor->windowTitle(), QStringLiteral("Nueva plantilla"));
    QCOMPARE(editor->message(), initialSample());
    QCOMPARE(editor->fixedCountLabel()->text(), QStringLiteral("157"));
    QCOMPARE(editor->saveButton()->text(), QStringLiteral("Guardar"));
    editor->messageBox()->setPlainText(QStringLiteral("[TELEFONO]"));
    QCOMPARE(editor->fixedCountLabel()->text(), QStringLiteral("0"));

    editor->nameBox()->setText(QStringLiteral("sin guardar"));
    editor->cancelButton()->click();
    QCOMPARE(panel.editor(), nullptr);
    QCOMPARE(templateRowCount(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    panel.createTemplate();
    QVERIFY(panel.editor() != nullptr);
    QCOMPARE(panel.editor()->message(), initialSample());
    QVERIFY(panel.editor()->nameBox()->text().isEmpty());
    QCOMPARE(panel.editor()->nameBox()->maxLength(), 255);
}

void TestTemplates::boundaryOf160Characters()
{
    TemplateStore store(*m_db);
    TemplateEditorDialog editor(store, *m_prompter);
    QSignalSpy changes(&editor, &TemplateEditorDialog::templatesChanged);
    editor.nameBox()->setText(QStringLiteral("Límite"));

    // 79 + CR LF + 80 = 161: the line end counts two.
    const QString tooLong = QString(79, QLatin1Char('a')) + QLatin1Char('\n') + QString(80, QLatin1Char('b'));
    editor.messageBox()->setPlainText(tooLong);
    editor.saveTemplate();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Mensaje predefinido demasiado largo"));
    QCOMPARE(templateRowCount(), 0);
    QCOMPARE(editor.messageBox()->toPlainText(), tooLong);
    QCOMPARE(editor.nameBox()->text(), QStringLiteral("Límite"));

    const QString justFits = QString(78, QLatin1Char('a')) + QLatin1Char('\n') + QString(80, QLatin1Char('b'));
    editor.messageBox()->setPlainText(justFits);
    editor.saveTemplate();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla creada"));
    QCOMPARE(templateRowCount(), 1);
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT length(mensaje) FROM Plantillas")).toInt(), 160);
    QCOMPARE(changes.count(), 1);

    // Empty text wins over the missing name.
    editor.saveTemplate();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Mensaje predefinido vacío"));
}

void TestTemplates::quotesAccentsAndLineBreaksRoundTrip()
{
    const QString name = QStringLiteral("O'Donnell \"Ñandú\"; --");
    const QString typed = QStringLiteral("Señor O'Brien,\n\"cita\" mañana\n\nÁÉÍÓÚ ' ; DROP TABLE Plantillas");

    TemplatesPanel panel(*m_db, *m_prompter);
    panel.createTemplate();
    panel.editor()->nameBox()->setText(name);
    panel.editor()->messageBox()->setPlainText(typed);
    panel.editor()->saveButton()->click();

    const auto savedRows = m_db->select(QStringLiteral("SELECT sid, nombre, mensaje FROM Plantillas"));
    QCOMPARE(savedRows.size(), size_t(1));
    const qint64 sid = savedRows[0].value(0).toLongLong();
    QCOMPARE(savedRows[0].value(1).toString(), name);
    QCOMPARE(savedRows[0].value(2).toString(),
             QStringLiteral("Señor O'Brien,\r\n\"cita\" mañana\r\n\r\nÁÉÍÓÚ ' ; DROP TABLE Plantillas"));

    // Back into the editor as typed.
    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), templateKey(sid))));
    panel.modifyTemplate();
    QCOMPARE(panel.editor()->nameBox()->text(), name);
    QCOMPARE(panel.editor()->messageBox()->toPlainText(), typed);
    panel.editor()->saveButton()->click();
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT nombre FROM Plantillas WHERE sid = ?1"), {sid}).toString(), name);

    // And into the send panel's message box.
    QPlainTextEdit messageEdit;
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);
    TemplatePickerDialog *picker = launcher.open();
    QVERIFY(picker->takeTemplate(messageKey(sid)));
    QCOMPARE(messageEdit.toPlainText(), typed);
}

void TestTemplates::staleTreeNeverReportsSuccess()
{
    const qint64 sid = insertTemplate(QStringLiteral("Vieja"), QStringLiteral("texto"));
    const qint64 other = insertTemplate(QStringLiteral("Otra"), QStringLiteral("texto"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.reloadTemplates();
    // Another workstation deletes it; this tree still shows it.
    TemplateStore(*m_db).remove(sid);

    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), templateKey(sid))));
    panel.modifyTemplate();
    QCOMPARE(panel.editor(), nullptr);
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QCOMPARE(panel.templateList()->topLevelItemCount(), 1);
    QCOMPARE(nodeKey(panel.templateList()->topLevelItem(0)), templateKey(other));

    // Deleting it again is no success either.
    TemplateStore(*m_db).remove(other);
    m_prompter->clear();
    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), messageKey(other))));
    panel.deleteTemplate();
    QCOMPARE(m_prompter->count(), 1);
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QVERIFY(panel.hasNoTemplates());
}

void TestTemplates::templateDeletedUnderOpenEditor()
{
    const qint64 sid = insertTemplate(QStringLiteral("Cita"), QStringLiteral("Hola"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.reloadTemplates();
    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), templateKey(sid))));
    panel.modifyTemplate();
    TemplateEditorDialog *editor = panel.editor();
    editor->messageBox()->setPlainText(QStringLiteral("Texto nuevo"));

    TemplateStore(*m_db).remove(sid);
    editor->saveButton()->click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QCOMPARE(templateRowCount(), 0);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->messageBox()->toPlainText(), QStringLiteral("Texto nuevo"));
    QCOMPARE(editor->nameBox()->text(), QStringLiteral("Cita"));
    QCOMPARE(editor->saveButton()->text(), QStringLiteral("Guardar plantilla"));
    QVERIFY(panel.hasNoTemplates());

    // A second click keeps the text as a new template.
    editor->saveButton()->click();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla creada"));
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT mensaje FROM Plantillas")).toString(), QStringLiteral("Texto nuevo"));
    QVERIFY(!panel.hasNoTemplates());
}

void TestTemplates::pickReplacesTheMessageAndRecounts()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.reloadTemplates();
    QPlainTextEdit messageEdit;
    messageEdit.setPlainText(QStringLiteral("ya escrito"));
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);

    launcher.onPickerIconClicked();
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("No existe ninguna plantilla creada."));
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Sin plantillas"));
    QCOMPARE(launcher.picker(), nullptr);

    // An empty picker (the list was stale) takes nothing on its "Sin plantillas" node.
    TemplatePickerDialog *picker = launcher.open();
    QCOMPARE(picker->templateList()->topLevelItem(0)->text(0), QStringLiteral("Sin plantillas"));
    QVERIFY(!picker->takeTemplate(QString()));     // no node
    QVERIFY(!picker->takeTemplate(QStringLiteral("l0")));
    picker->close();

    insertTemplate(QStringLiteral("Uno"), QStringLiteral("Primero"));
    const qint64 sid = insertTemplate(QStringLiteral("Dos"), QStringLiteral("Línea 1\r\nLínea 2"));
    panel.reloadTemplates();
    launcher.onPickerIconClicked();
    picker = launcher.picker();
    QVERIFY(picker && picker->isVisible());
    QCOMPARE(picker->windowTitle(), QStringLiteral("Enviar SMS - Plantillas"));

    QSignalSpy recounts(&messageEdit, &QPlainTextEdit::textChanged);
    QTreeWidget *tree = picker->templateList();
    QTreeWidgetItem *node = nodeWithKey(tree, templateKey(sid));
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
    const qint64 sid = insertTemplate(QStringLiteral("Se irá"), QStringLiteral("adiós"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.reloadTemplates();
    QPlainTextEdit messageEdit;
    messageEdit.setPlainText(QStringLiteral("lo mío"));
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);
    TemplatePickerDialog *picker = launcher.open();
    TemplateStore(*m_db).remove(sid);

    QVERIFY(testing::rightPress(picker->templateList(), nodeWithKey(picker->templateList(), templateKey(sid))));
    picker->selectAction()->trigger();
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QCOMPARE(messageEdit.toPlainText(), QStringLiteral("lo mío"));
    QCOMPARE(launcher.picker(), picker);
    QCOMPARE(firstNodeKey(*picker->templateList()), QStringLiteral("l0"));
    QVERIFY(panel.hasNoTemplates());
}

void TestTemplates::pickerOnEmptiedTableRefreshesTheTab()
{
    const qint64 sid = insertTemplate(QStringLiteral("Única"), QStringLiteral("texto"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.reloadTemplates();
    QPlainTextEdit messageEdit;
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);
    // Deleted from another workstation while the tab still lists it.
    TemplateStore(*m_db).remove(sid);

    launcher.onPickerIconClicked();
    QVERIFY(launcher.picker() != nullptr);
    QCOMPARE(firstNodeKey(*launcher.picker()->templateList()), QStringLiteral("l0"));
    QVERIFY(panel.hasNoTemplates());
    launcher.picker()->close();

    launcher.onPickerIconClicked();
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("No existe ninguna plantilla creada."));
}

void TestTemplates::pickerRightClickRules()
{
    TemplatesPanel panel(*m_db, *m_prompter);
    QPlainTextEdit messageEdit;
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);

    TemplatePickerDialog *picker = launcher.open();
    QVERIFY(QTest::qWaitForWindowExposed(picker));
    QTreeWidget *tree = picker->templateList();
    QMenu *menu = picker->popupMenu();
    QCOMPARE(picker->closeButton()->text(), QStringLiteral("Cerrar"));
    QCOMPARE(picker->selectAction()->text(),
             QStringLiteral("Seleccionar plantilla para envio"));

    // "Sin plantillas" is selected by the click but offers nothing.
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, centerOf(tree, tree->topLevelItem(0)));
    QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
    QVERIFY(!menu->isVisible());

    const qint64 sid = insertTemplate(QStringLiteral("Cita"), QStringLiteral("Hola"));
    picker->reloadTemplates();
    QTreeWidgetItem *node = tree->topLevelItem(0);
    QCOMPARE(nodeKey(node), templateKey(sid));

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
    picker->selectAction()->trigger();
    QCOMPARE(messageEdit.toPlainText(), QStringLiteral("Hola"));
    QCOMPARE(launcher.picker(), nullptr);
    QCOMPARE(m_prompter->count(), 0);
}

void TestTemplates::pickIntoTheSendPanelRecounts()
{
    testing::PanelRig rig;
    TemplateStore store(rig.connection);
    const qint64 sid = store.create(QStringLiteral("Dos líneas"), QStringLiteral("Línea 1\r\nLínea 2")).sid;
    TemplatesPanel panel(rig.connection, rig.prompter);
    panel.reloadTemplates();
    TemplatePickerLauncher launcher(rig.connection, rig.prompter, panel, rig.view->messageBox());

    rig.view->messageBox()->setPlainText(QString(200, QLatin1Char('x')));
    rig.view->recipientsBox()->setPlainText(QStringLiteral("34600123456"));
    QCOMPARE(rig.view->lengthLimitLabel()->text(), QStringLiteral("306"));

    TemplatePickerDialog *picker = launcher.open();
    QVERIFY(picker->takeTemplate(messageKey(sid)));

    // The whole message replaced; the line end counts two, as it will be sent.
    QCOMPARE(rig.view->messageBox()->toPlainText(), QStringLiteral("Línea 1\nLínea 2"));
    QCOMPARE(rig.view->lengthLabel()->text(), QStringLiteral("16"));
    QCOMPARE(rig.view->lengthLimitLabel()->text(), QStringLiteral("160"));
    // The rest of the panel stays as it was.
    QCOMPARE(rig.view->recipientsBox()->toPlainText(), QStringLiteral("34600123456"));
    QCOMPARE(rig.view->sendTimeBox()->text(), QStringLiteral("Inmediato"));
}

QTEST_MAIN(TestTemplates)
// Both popups act on the template they were opened on. While a menu is up the list is rebuilt
// (the editor saved, another window found a template gone) and the tree's current item moves to
// the first template; the items still act on the one the user clicked.
void TestTemplates::popupsActOnTheTemplateTheyWereOpenedOn()
{
    const qint64 first = insertTemplate(QStringLiteral("Aviso"), QStringLiteral("texto del aviso"));
    const qint64 second = insertTemplate(QStringLiteral("Cita"), QStringLiteral("texto de la cita"));
    const qint64 third = insertTemplate(QStringLiteral("Oferta"), QStringLiteral("texto de la oferta"));
    TemplatesPanel panel(*m_db, *m_prompter);
    panel.reloadTemplates();
    QMenu *menu = panel.popupMenu();
    const auto redraw = [&panel, menu] {
        QVERIFY(menu->isVisible());
        panel.reloadTemplates();
        panel.templateList()->setCurrentItem(panel.templateList()->topLevelItem(0));
    };

    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), messageKey(second))));
    redraw();
    m_prompter->answerMessage(ui::Answer::Ok);
    QVERIFY(testing::choose(menu, panel.deleteAction()));
    QCOMPARE(m_prompter->lastCall().text, QStringLiteral("Plantilla eliminada correctamente"));
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Plantillas WHERE sid = ?1"), {second}).toInt(), 0);
    QCOMPARE(templateRowCount(), 2);

    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), templateKey(third))));
    redraw();
    QVERIFY(testing::choose(menu, panel.modifyAction()));
    QVERIFY(panel.editor());
    QCOMPARE(panel.editor()->editedSid(), std::optional<qint64>(third));
    QCOMPARE(panel.editor()->nameBox()->text(), QStringLiteral("Oferta"));
    panel.editor()->close();

    // The picker takes the text of the template clicked.
    QPlainTextEdit messageEdit;
    TemplatePickerLauncher launcher(*m_db, *m_prompter, panel, &messageEdit);
    TemplatePickerDialog *picker = launcher.open();
    QVERIFY(testing::rightPress(picker->templateList(), nodeWithKey(picker->templateList(), templateKey(third))));
    QVERIFY(picker->popupMenu()->isVisible());
    picker->reloadTemplates();
    picker->templateList()->setCurrentItem(picker->templateList()->topLevelItem(0));
    QVERIFY(testing::choose(picker->popupMenu(), picker->selectAction()));
    QCOMPARE(messageEdit.toPlainText(), QStringLiteral("texto de la oferta"));

    // A template deleted while its menu is up: the other one stays, and the user hears why.
    const int notices = m_prompter->count();
    QVERIFY(testing::rightPress(panel.templateList(), nodeWithKey(panel.templateList(), templateKey(third))));
    TemplateStore(*m_db).remove(third);
    redraw();
    m_prompter->answerMessage(ui::Answer::Ok);
    QVERIFY(testing::choose(menu, panel.deleteAction()));
    QCOMPARE(m_prompter->count(), notices + 1);
    QCOMPARE(m_prompter->lastCall().title, QStringLiteral("Plantilla inexistente"));
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Plantillas WHERE sid = ?1"), {first}).toInt(), 1);
}

#include "test_templates.moc"
