#include "contacts/picker/contact_tree.h"

#include "contacts/view/contact_tree.h"
#include "sending/templates/template_tree.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>


namespace contacts::picker {

QIcon imagen(int indice)
{
    QStyle *estilo = QApplication::style();
    switch (indice) {
    case 1:
        return estilo->standardIcon(QStyle::SP_FileIcon);
    case 2:
        return estilo->standardIcon(QStyle::SP_DialogApplyButton);
    case 3:
        return estilo->standardIcon(QStyle::SP_DirIcon);
    default:
        return {};
    }
}

void llenarArbol(QTreeWidget &arbol, const std::vector<Nodo> &nodos)
{
    contacts::llenarArbol(arbol, nodos, &imagen);
}

QString claveNodo(const QTreeWidgetItem *nodo)
{
    return sending::claveNodo(nodo);
}

QTreeWidgetItem *nodoSeleccionado(const QTreeWidget &arbol)
{
    const QList<QTreeWidgetItem *> seleccion = arbol.selectedItems();
    return seleccion.isEmpty() ? nullptr : seleccion.first();
}

QTreeWidgetItem *nodoEn(const QTreeWidget &arbol, QPoint pos)
{
    return sending::nodoEn(arbol, pos);
}

QTreeWidgetItem *nodoConClave(const QTreeWidget &arbol, const QString &clave)
{
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(&arbol)); *it; ++it) {
        if (claveNodo(*it) == clave)
            return *it;
    }
    return nullptr;
}

} // namespace contacts::picker
