#include "contacts/view/contact_tree.h"

#include "sending/templates/template_tree.h"

#include <QApplication>
#include <QHash>
#include <QStyle>
#include <QTreeWidget>

namespace contacts {

QIcon listIcon(int number)
{
    const QStyle *style = QApplication::style();
    switch (number) {
    case 2: return style->standardIcon(QStyle::SP_FileIcon);
    case 6: return style->standardIcon(QStyle::SP_DirIcon);
    case 7: return style->standardIcon(QStyle::SP_FileDialogInfoView);
    default: return {};
    }
}

void fillTree(QTreeWidget &tree, const std::vector<ContactNode> &nodes, NodeIcon image)
{
    tree.setUpdatesEnabled(false);
    tree.clear();
    QHash<QString, QTreeWidgetItem *> byKey;
    QList<QTreeWidgetItem *> roots;
    // One icon per picture for the whole list: nodes that share it draw (and decode) it once.
    QHash<int, QIcon> icons;
    for (const ContactNode &node : nodes) {
        auto *item = new QTreeWidgetItem(QStringList{node.text});
        // The same role the template trees use, so the shared hit test reads these keys too.
        item->setData(0, Qt::UserRole, node.key);
        if (node.image) {
            auto icon = icons.find(node.image);
            if (icon == icons.end())
                icon = icons.insert(node.image, image(node.image));
            item->setIcon(0, *icon);
        }
        QTreeWidgetItem *parent = node.parent.isEmpty() ? nullptr : byKey.value(node.parent);
        if (parent)
            parent->addChild(item);
        else
            roots.append(item);
        byKey.insert(node.key, item);
    }
    tree.addTopLevelItems(roots);
    tree.setUpdatesEnabled(true);
}

QString selectedKey(const QTreeWidget &tree)
{
    return sending::nodeKey(tree.currentItem());
}

QString firstKey(const QTreeWidget &tree)
{
    return sending::nodeKey(tree.topLevelItem(0));
}

} // namespace contacts
