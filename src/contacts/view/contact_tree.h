#pragma once

#include "contacts/contact_book.h"

#include <QIcon>
#include <QString>

#include <vector>

class QTreeWidget;

// Drawing the contact and group trees: nodes are added in order under the parent their key names,
// each keeping its `clave_nodo` where the shared hit test of the trees reads it.
namespace contacts {

// Clears the tree and adds the nodes; the tree is hidden while it is rebuilt.
// `image` gives each image number its icon; by default the main window's tabs' images
// (2 detail, 6 group, 7 contact).
using NodeIcon = QIcon (*)(int number);
QIcon listIcon(int number);
void fillTree(QTreeWidget &tree, const std::vector<ContactNode> &nodes, NodeIcon image = &listIcon);

// The key of the selected node ("" for none) and of the first node ("l0" for an empty list).
QString selectedKey(const QTreeWidget &tree);
QString firstKey(const QTreeWidget &tree);

} // namespace contacts
