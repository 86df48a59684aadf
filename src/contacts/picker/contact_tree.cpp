#include "contacts/picker/contact_tree.h"

#include "contacts/view/contact_tree.h"
#include "sending/templates/template_tree.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace contacts::picker {

QIcon image(int index)
{
    QStyle *appStyle = QApplication::style();
    switch (index) {
    case 1:
        return appStyle->standardIcon(QStyle::SP_FileIcon);
    case 2:
        return appStyle->standardIcon(QStyle::SP_DialogApplyButton);
    case 3:
        return appStyle->standardIcon(QStyle::SP_DirIcon);
    default:
        return {};
    }
}

void fillTree(QTreeWidget &tree, const std::vector<Node> &nodes)
{
    contacts::fillTree(tree, nodes, &image);
}

QString nodeKey(const QTreeWidgetItem *node)
{
    return sending::nodeKey(node);
}

QTreeWidgetItem *selectedNode(const QTreeWidget &tree)
{
    const QList<QTreeWidgetItem *> pick = tree.selectedItems();
    return pick.isEmpty() ? nullptr : pick.first();
}

QTreeWidgetItem *nodeAt(const QTreeWidget &tree, QPoint pos)
{
    return sending::nodeAt(tree, pos);
}

QTreeWidgetItem *nodeWithKey(const QTreeWidget &tree, const QString &key)
{
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(&tree)); *it; ++it) {
        if (nodeKey(*it) == key)
            return *it;
    }
    return nullptr;
}

} // namespace contacts::picker
