#include "sending/templates/template_tree.h"

#include "sending/templates/template_rules.h"

#include <QTreeWidget>

#include <array>

namespace sending {

namespace {

constexpr int kKeyRole = Qt::UserRole;

QTreeWidgetItem *makeNode(const QString &key, const QString &text)
{
    auto *item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kKeyRole, key);
    item->setToolTip(0, text);
    return item;
}

} // namespace

void fillTemplateTree(QTreeWidget &tree, const std::vector<TemplateRow> &rows,
                           const QString &emptyText)
{
    tree.setUpdatesEnabled(false);
    tree.clear();
    if (rows.empty()) {
        tree.addTopLevelItem(makeNode(QLatin1String(kEmptyListKey), emptyText));
    } else {
        QList<QTreeWidgetItem *> nodes;
        nodes.reserve(qsizetype(rows.size()));
        for (const TemplateRow &row : rows) {
            QTreeWidgetItem *parent = makeNode(templateKey(row.sid), row.name);
            parent->addChild(makeNode(messageKey(row.sid), boxText(row.message)));
            nodes.append(parent);
        }
        tree.addTopLevelItems(nodes);
    }
    tree.setUpdatesEnabled(true);
}

QString nodeKey(const QTreeWidgetItem *node)
{
    return node ? node->data(0, kKeyRole).toString() : QString();
}

QString firstNodeKey(const QTreeWidget &tree)
{
    return nodeKey(tree.topLevelItem(0));
}

QTreeWidgetItem *nodeAt(const QTreeWidget &tree, QPoint pos)
{
    if (QTreeWidgetItem *item = tree.itemAt(pos))
        return item;
    static constexpr std::array<int, 6> twips{400, 800, 1200, 1600, 2000, 2400};
    const int dpi = tree.logicalDpiX() > 0 ? tree.logicalDpiX() : 96;
    for (const int x : twips) {
        if (QTreeWidgetItem *item = tree.itemAt(QPoint(x * dpi / 1440, pos.y())))
            return item;
    }
    return nullptr;
}

bool rowActionsApply(const QTreeWidgetItem *selected, bool nodeFound)
{
    return selected && nodeFound && nodeKey(selected) != QLatin1String(kEmptyListKey);
}

bool pressOnTree(QTreeWidget &tree, QPoint pos)
{
    QTreeWidgetItem *found = nodeAt(tree, pos);
    if (found)
        tree.setCurrentItem(found);
    const QList<QTreeWidgetItem *> selection = tree.selectedItems();
    return rowActionsApply(selection.isEmpty() ? nullptr : selection.first(), found);
}

} // namespace sending
