#include "contacts/picker/contact_tree.h"

#include "contacts/view/contact_tree.h"
#include "sending/templates/template_tree.h"

#include <QApplication>
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

void llenarArbol(QTreeWidget &tree, const std::vector<Nodo> &nodes)
{
    contacts::llenarArbol(tree, nodes, &image);
}

QString claveNodo(const QTreeWidgetItem *node)
{
    return sending::claveNodo(node);
}

QTreeWidgetItem *nodoSeleccionado(const QTreeWidget &tree)
{
    const QList<QTreeWidgetItem *> pick = tree.selectedItems();
    return pick.isEmpty() ? nullptr : pick.first();
}

QTreeWidgetItem *nodoEn(const QTreeWidget &tree, QPoint pos)
{
    return sending::nodoEn(tree, pos);
}

QTreeWidgetItem *nodoConClave(const QTreeWidget &tree, const QString &key)
{
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(&tree)); *it; ++it) {
        if (claveNodo(*it) == key)
            return *it;
    }
    return nullptr;
}

} // namespace contacts::picker
