#include "platform/ui/list_tree.h"

#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>

namespace ui {

QTreeWidget *newListTree(QWidget *parent, const char *name, QObject *pressWatcher)
{
    auto *tree = new QTreeWidget(parent);
    tree->setObjectName(QLatin1String(name));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->header()->setStretchLastSection(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setContextMenuPolicy(Qt::NoContextMenu);
    tree->viewport()->installEventFilter(pressWatcher);
    return tree;
}

std::optional<TreePress> pressOn(const QTreeWidget &tree, const QObject *watched, const QEvent *event)
{
    if (watched != tree.viewport() || event->type() != QEvent::MouseButtonPress)
        return std::nullopt;
    const auto *mouse = static_cast<const QMouseEvent *>(event);
    return TreePress{mouse->button(), mouse->position().toPoint(), mouse->globalPosition().toPoint()};
}

void RowPopup::popup(const QString &key, const QPoint &globalPos)
{
    m_key = key;
    if (m_menu)
        m_menu->popup(globalPos);
}

} // namespace ui
