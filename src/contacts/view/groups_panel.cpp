#include "contacts/view/groups_panel.h"

#include "platform/ui/list_tree.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace contacts {

GroupsPanel::GroupsPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("GroupsPanel"));
    m_groupList = ui::newListTree(this, "TreeView2", this);

    m_groupMenu = new QMenu(this);
    m_groupMenu->setObjectName(QStringLiteral("mnurclick_listado_grupos"));
    m_administerAction = m_groupMenu->addAction(QStringLiteral("Administrar grupo"));
    m_administerAction->setObjectName(QStringLiteral("mnurclick_listado_grupos_administrar"));
    m_deleteAction = m_groupMenu->addAction(QStringLiteral("Eliminar grupo"));
    m_deleteAction->setObjectName(QStringLiteral("mnurclick_listado_grupos_eliminar"));
    m_groupMenu->addSeparator()->setObjectName(QStringLiteral("mnusep_grupos"));
    m_createAction = m_groupMenu->addAction(QStringLiteral("Crear nuevo grupo"));
    m_createAction->setObjectName(QStringLiteral("mnurclick_listado_grupos_crear"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_groupList);
}

GroupsPanel::~GroupsPanel() = default;

bool GroupsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_groupList->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            Q_EMIT treeMousePressed(mouse->button(), mouse->position().toPoint(),
                                       mouse->globalPosition().toPoint());
            return mouse->button() == Qt::RightButton;
        }
        if (event->type() == QEvent::MouseButtonDblClick)
            Q_EMIT treeDoubleClicked();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace contacts
