#include "contacts/view/groups_panel.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace contacts {

GroupsPanel::GroupsPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("GroupsPanel"));
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("TreeView2"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->header()->setStretchLastSection(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setContextMenuPolicy(Qt::NoContextMenu);
    m_tree->viewport()->installEventFilter(this);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnurclick_listado_grupos"));
    m_administrar = m_menu->addAction(QStringLiteral("Administrar grupo"));
    m_administrar->setObjectName(QStringLiteral("mnurclick_listado_grupos_administrar"));
    m_eliminar = m_menu->addAction(QStringLiteral("Eliminar grupo"));
    m_eliminar->setObjectName(QStringLiteral("mnurclick_listado_grupos_eliminar"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("mnusep_grupos"));
    m_crear = m_menu->addAction(QStringLiteral("Crear nuevo grupo"));
    m_crear->setObjectName(QStringLiteral("mnurclick_listado_grupos_crear"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
}

GroupsPanel::~GroupsPanel() = default;

bool GroupsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            Q_EMIT TreeView2_MouseDown(mouse->button(), mouse->position().toPoint(),
                                       mouse->globalPosition().toPoint());
            return mouse->button() == Qt::RightButton;
        }
        if (event->type() == QEvent::MouseButtonDblClick)
            Q_EMIT TreeView2_DblClick();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace contacts
