#pragma once

#include "platform/ui/list_tree.h"
#include "platform/ui/single_instance.h"
#include "sending/templates/template_editor_dialog.h"
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

    QTreeWidget *templateList() const { return m_templateList; }
    QMenu *popupMenu() const { return m_menu; }
    QAction *modifyAction() const { return m_modifyAction; }
    QAction *deleteAction() const { return m_deleteAction; }
    QAction *createAction() const { return m_createAction; }

    // Rebuilds the tree from the table.
    void reloadTemplates();
    // True while the tree shows only its empty-list node "l0".
    bool hasNoTemplates() const;

    // A mouse button pressed on the tree (viewport coordinates): selects the node on that line
    // and, for the right button, opens the popup at `globalPos`. The popup's items act on the
    // template it was opened on (menuKey()), whatever the tree shows by the time they run.
    void onTemplateListPressed(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_contactMenu.key(); }

    void createTemplate();
    void deleteTemplate();
    void modifyTemplate();

    // The editor while it is loaded (shown, or hidden after a save); nullptr otherwise.
    TemplateEditorDialog *editor() const { return m_editor.existing(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TemplateEditorDialog *openEditor();
    // Says that the template acted on is gone, then shows the table as it is now.
    void reportVanishedTemplate();

    TemplateStore m_store;
    ui::Prompter &m_prompter;
    ui::SingleInstance<TemplateEditorDialog> m_editor;

    QTreeWidget *m_templateList = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_modifyAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_createAction = nullptr;
    ui::RowPopup m_contactMenu;
};

// Told to the user when the template acted on was deleted meanwhile.
QString missingTemplateNotice();
inline constexpr auto kMissingTemplateTitle = "Plantilla inexistente";

} // namespace sending
