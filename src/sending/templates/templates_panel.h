#pragma once

#include "platform/ui/list_tree.h"
#include "platform/ui/single_instance.h"
#include "sending/templates/template_editor.h"
#include "sending/templates/template_store.h"

#include <QWidget>

class QAction;
class QMenu;
class QTreeWidget;

namespace db {
class Connection;
}
namespace ui {
class Prompter;
}

namespace sending {

// The "Plantillas" tab: the template list (objectName `TreeView1`), its popup menu and the editor
// it opens.
class TemplatesPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplatesPanel)

public:
    TemplatesPanel(db::Connection &connection, ui::Prompter &prompter, QWidget *parent = nullptr);
    ~TemplatesPanel() override;

    QTreeWidget *TreeView1() const { return m_treeView1; }
    QMenu *mnurclick_listado_plantillas() const { return m_menu; }
    QAction *mnurclick_listado_plantillas_modificar() const { return m_modificar; }
    QAction *mnurclick_listado_plantillas_eliminar() const { return m_eliminar; }
    QAction *mnurclick_listado_plantillas_crear() const { return m_crear; }

    // Rebuilds the tree from the table.
    void f_plantillas();
    // True while the tree shows only its empty-list node "l0".
    bool plantillasVacias() const;

    // A mouse button pressed on the tree (viewport coordinates): selects the node on that line
    // and, for the right button, opens the popup at `globalPos`. The popup's items act on the
    // template it was opened on (menuKey()), whatever the tree shows by the time they run.
    void TreeView1_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_popup.key(); }

    void mnurclick_listado_plantillas_crear_Click();
    void mnurclick_listado_plantillas_eliminar_Click();
    void mnurclick_listado_plantillas_modificar_Click();

    // The editor while it is loaded (shown, or hidden after a save); nullptr otherwise.
    Form10 *editor() const { return m_form10.existing(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Form10 *abrirEditor();
    // Says that the template acted on is gone, then shows the table as it is now.
    void plantillaDesaparecida();

    TemplateStore m_store;
    ui::Prompter &m_prompter;
    ui::SingleInstance<Form10> m_form10;

    QTreeWidget *m_treeView1 = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_modificar = nullptr;
    QAction *m_eliminar = nullptr;
    QAction *m_crear = nullptr;
    ui::RowPopup m_popup;
};

// Told to the user when the template acted on was deleted meanwhile.
QString avisoPlantillaInexistente();
inline constexpr auto kTituloPlantillaInexistente = "Plantilla inexistente";

} // namespace sending
