#pragma once

#include "sending/templates/template_store.h"

#include <QPoint>
#include <QString>

#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

// The two template trees (the "Plantillas" tab and the picker) list the rows the same way: one
// collapsed node per template with its name, its text as the only child.
namespace sending {

// Fills `tree` from scratch; with no template the single node "l0" reads `emptyText`.
void fillTemplateTree(QTreeWidget &tree, const std::vector<TemplateRow> &rows,
                           const QString &emptyText);

// The node's key ("pPlantilla 7", "pMensaje 7", "l0"); "" for no node.
QString nodeKey(const QTreeWidgetItem *node);

// The key of the tree's first node, which is "l0" when the list is empty.
QString firstNodeKey(const QTreeWidget &tree);

// The node on the line under `pos` (viewport coordinates). A click beside a node's text, where
// the tree finds nothing, is tried again on the same line at 400, 800 ... 2400 twips, so the
// node still counts when its text reaches one of those positions.
QTreeWidgetItem *nodeAt(const QTreeWidget &tree, QPoint pos);

// Whether the popup's row actions ("Modificar", "Eliminar", "Seleccionar") apply: the click hit
// a node, the tree has a selected node and it is not the empty-list node.
bool rowActionsApply(const QTreeWidgetItem *selected, bool nodeFound);

// A mouse button pressed on a template tree: the node under the pointer (found as nodeAt() does)
// becomes the selection; the result says whether the row actions of a popup then apply.
bool pressOnTree(QTreeWidget &tree, QPoint pos);

} // namespace sending
