#include "sending/templates/templates_panel.h"

#include "platform/ui/prompter.h"
#include "sending/templates/template_rules.h"
#include "sending/templates/template_tree.h"

#include "platform/ui/list_tree.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace sending {

QString missingTemplateNotice()
{
    return QStringLiteral("La plantilla seleccionada ya no existe: puede que se haya eliminado desde otro "
                          "puesto. La lista de plantillas se ha actualizado.");
}

TemplatesPanel::TemplatesPanel(db::Connection &connection, ui::Prompter &prompter, QWidget *parent)
    : QWidget(parent)
    , m_store(connection)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("TemplatesPanel"));

    m_templateList = ui::newListTree(this, "TreeView1", this);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnurclick_listado_plantillas"));
    m_modifyAction = m_menu->addAction(QStringLiteral("Modificar plantilla"));
    m_modifyAction->setObjectName(QStringLiteral("mnurclick_listado_plantillas_modificar"));
    m_deleteAction = m_menu->addAction(QStringLiteral("Eliminar plantilla"));
    m_deleteAction->setObjectName(QStringLiteral("mnurclick_listado_plantillas_eliminar"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("mnusep_plantillas"));
    m_createAction = m_menu->addAction(QStringLiteral("Crear nueva plantilla"));
    m_createAction->setObjectName(QStringLiteral("mnurclick_listado_plantillas_crear"));
    m_contactMenu.setMenu(m_menu);

    connect(m_modifyAction, &QAction::triggered, this, &TemplatesPanel::modifyTemplate);
    connect(m_deleteAction, &QAction::triggered, this, &TemplatesPanel::deleteTemplate);
    connect(m_createAction, &QAction::triggered, this, &TemplatesPanel::createTemplate);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_templateList);
}

TemplatesPanel::~TemplatesPanel() = default;

void TemplatesPanel::reloadTemplates()
{
    const TemplateList list = m_store.list();
    if (!list.ok()) {
        // Keep what the tree showed rather than claim the table is empty.
        m_prompter.message(QStringLiteral("No se pudo leer la lista de plantillas de la base de datos."),
                           QStringLiteral("Plantillas"), ui::Icon::Warning);
        return;
    }
    fillTemplateTree(*m_templateList, list.rows, QStringLiteral("Sin registros"));
}

bool TemplatesPanel::hasNoTemplates() const
{
    return firstNodeKey(*m_templateList) == QLatin1String(kEmptyListKey);
}

bool TemplatesPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (const auto press = ui::pressOn(*m_templateList, watched, event)) {
        onTemplateListPressed(press->button, press->pos, press->globalPos);
        // The right button is ours alone; the left one still expands and collapses.
        return press->button == Qt::RightButton;
    }
    return QWidget::eventFilter(watched, event);
}

void TemplatesPanel::onTemplateListPressed(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    const bool rowActions = pressOnTree(*m_templateList, pos);
    if (button != Qt::RightButton)
        return;
    m_modifyAction->setEnabled(rowActions);
    m_deleteAction->setEnabled(rowActions);
    m_contactMenu.popup(rowActions ? nodeKey(m_templateList->currentItem()) : QString(), globalPos);
}

TemplateEditorDialog *TemplatesPanel::openEditor()
{
    return m_editor.get([this] {
        auto *editor = new TemplateEditorDialog(m_store, m_prompter);
        connect(editor, &TemplateEditorDialog::templatesChanged, this, &TemplatesPanel::reloadTemplates);
        return editor;
    });
}

void TemplatesPanel::createTemplate()
{
    TemplateEditorDialog *editor = openEditor();
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void TemplatesPanel::deleteTemplate()
{
    const auto sid = sidFromKey(m_contactMenu.key());
    if (!sid)
        return;
    const TemplateResult result = m_store.remove(*sid);
    if (result.status == TemplateStatus::NotFound) {
        reportVanishedTemplate();
        return;
    }
    if (!result.ok()) {
        m_prompter.message(QStringLiteral("No se pudo eliminar la plantilla de la base de datos. Inténtelo de "
                                          "nuevo en unos momentos."),
                           QStringLiteral("Eliminar plantilla"), ui::Icon::Warning);
        return;
    }
    reloadTemplates();
    m_prompter.message(QStringLiteral("Plantilla eliminada correctamente"), QStringLiteral("Plantilla eliminada"));
}

void TemplatesPanel::modifyTemplate()
{
    const auto sid = sidFromKey(m_contactMenu.key());
    if (!sid)
        return;
    const TemplateResult result = m_store.get(*sid);
    if (result.status == TemplateStatus::NotFound) {
        reportVanishedTemplate();
        return;
    }
    if (!result.ok()) {
        m_prompter.message(QStringLiteral("No se pudo leer la plantilla de la base de datos. Inténtelo de "
                                          "nuevo en unos momentos."),
                           QStringLiteral("Modificar plantilla"), ui::Icon::Warning);
        return;
    }
    TemplateEditorDialog *editor = openEditor();
    editor->editTemplate(result.row);
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void TemplatesPanel::reportVanishedTemplate()
{
    reloadTemplates();
    m_prompter.message(missingTemplateNotice(), QLatin1String(kMissingTemplateTitle));
}

} // namespace sending
