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

QString avisoPlantillaInexistente()
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

    m_treeView1 = ui::newListTree(this, "TreeView1", this);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnurclick_listado_plantillas"));
    m_modificar = m_menu->addAction(QStringLiteral("Modificar plantilla"));
    m_modificar->setObjectName(QStringLiteral("mnurclick_listado_plantillas_modificar"));
    m_eliminar = m_menu->addAction(QStringLiteral("Eliminar plantilla"));
    m_eliminar->setObjectName(QStringLiteral("mnurclick_listado_plantillas_eliminar"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("mnusep_plantillas"));
    m_crear = m_menu->addAction(QStringLiteral("Crear nueva plantilla"));
    m_crear->setObjectName(QStringLiteral("mnurclick_listado_plantillas_crear"));
    m_popup.setMenu(m_menu);

    connect(m_modificar, &QAction::triggered, this, &TemplatesPanel::mnurclick_listado_plantillas_modificar_Click);
    connect(m_eliminar, &QAction::triggered, this, &TemplatesPanel::mnurclick_listado_plantillas_eliminar_Click);
    connect(m_crear, &QAction::triggered, this, &TemplatesPanel::mnurclick_listado_plantillas_crear_Click);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_treeView1);
}

TemplatesPanel::~TemplatesPanel() = default;

void TemplatesPanel::f_plantillas()
{
    const PlantillaList list = m_store.list();
    if (!list.ok()) {
        // Keep what the tree showed rather than claim the table is empty.
        m_prompter.message(QStringLiteral("No se pudo leer la lista de plantillas de la base de datos."),
                           QStringLiteral("Plantillas"), ui::Icon::Warning);
        return;
    }
    llenarArbolPlantillas(*m_treeView1, list.plantillas, QStringLiteral("Sin registros"));
}

bool TemplatesPanel::plantillasVacias() const
{
    return claveDelPrimerNodo(*m_treeView1) == QLatin1String(kClaveVacia);
}

bool TemplatesPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (const auto press = ui::pressOn(*m_treeView1, watched, event)) {
        TreeView1_MouseDown(press->button, press->pos, press->globalPos);
        // The right button is ours alone; the left one still expands and collapses.
        return press->button == Qt::RightButton;
    }
    return QWidget::eventFilter(watched, event);
}

void TemplatesPanel::TreeView1_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    const bool rowActions = pulsacionEnArbol(*m_treeView1, pos);
    if (button != Qt::RightButton)
        return;
    m_modificar->setEnabled(rowActions);
    m_eliminar->setEnabled(rowActions);
    m_popup.popup(rowActions ? claveNodo(m_treeView1->currentItem()) : QString(), globalPos);
}

Form10 *TemplatesPanel::abrirEditor()
{
    return m_form10.get([this] {
        auto *editor = new Form10(m_store, m_prompter);
        connect(editor, &Form10::plantillasCambiadas, this, &TemplatesPanel::f_plantillas);
        return editor;
    });
}

void TemplatesPanel::mnurclick_listado_plantillas_crear_Click()
{
    Form10 *editor = abrirEditor();
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void TemplatesPanel::mnurclick_listado_plantillas_eliminar_Click()
{
    const auto sid = sidDeClave(m_popup.key());
    if (!sid)
        return;
    const PlantillaResult result = m_store.remove(*sid);
    if (result.status == TemplateStatus::NotFound) {
        plantillaDesaparecida();
        return;
    }
    if (!result.ok()) {
        m_prompter.message(QStringLiteral("No se pudo eliminar la plantilla de la base de datos. Inténtelo de "
                                          "nuevo en unos momentos."),
                           QStringLiteral("Eliminar plantilla"), ui::Icon::Warning);
        return;
    }
    f_plantillas();
    m_prompter.message(QStringLiteral("Plantilla eliminada correctamente"), QStringLiteral("Plantilla eliminada"));
}

void TemplatesPanel::mnurclick_listado_plantillas_modificar_Click()
{
    const auto sid = sidDeClave(m_popup.key());
    if (!sid)
        return;
    const PlantillaResult result = m_store.get(*sid);
    if (result.status == TemplateStatus::NotFound) {
        plantillaDesaparecida();
        return;
    }
    if (!result.ok()) {
        m_prompter.message(QStringLiteral("No se pudo leer la plantilla de la base de datos. Inténtelo de "
                                          "nuevo en unos momentos."),
                           QStringLiteral("Modificar plantilla"), ui::Icon::Warning);
        return;
    }
    Form10 *editor = abrirEditor();
    editor->modificar(result.plantilla);
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void TemplatesPanel::plantillaDesaparecida()
{
    f_plantillas();
    m_prompter.message(avisoPlantillaInexistente(), QLatin1String(kTituloPlantillaInexistente));
}

} // namespace sending
