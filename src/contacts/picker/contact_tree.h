#pragma once

#include "contacts/picker/contact_nodes.h"

#include <QPoint>
#include <QString>

#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

// Drawing the contact trees of the picker and the group administration from their node lists,
// and finding the node under the mouse.
namespace contacts::picker {

// Clears the tree and adds the nodes in order (each parent comes before its children); the
// tree is hidden while it is cleared and refilled so it draws once.
void fillTree(QTreeWidget &tree, const std::vector<Node> &nodes);

// The node's key (`clave_nodo`); "" for no node.
QString nodeKey(const QTreeWidgetItem *node);

// The selected node, or nullptr.
QTreeWidgetItem *selectedNode(const QTreeWidget &tree);

// The node on the line under `pos` (viewport coordinates). A click beside a node's text is tried
// again on the same line at 400, 800 ... 2400 twips from the left edge.
QTreeWidgetItem *nodeAt(const QTreeWidget &tree, QPoint pos);

// The node whose key is `key`, or nullptr (for tests and for keeping a selection).
QTreeWidgetItem *nodeWithKey(const QTreeWidget &tree, const QString &key);

} // namespace contacts::picker
