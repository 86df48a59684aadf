#include "contacts/view/contact_tree.h"

#include "sending/templates/template_tree.h"

#include <QApplication>
#include <QHash>
#include <QStyle>
#include <QTreeWidget>

namespace contacts {

QIcon imagenDeLista(int numero)
{
    const QStyle *style = QApplication::style();
    switch (numero) {
    case 2: return style->standardIcon(QStyle::SP_FileIcon);
    case 6: return style->standardIcon(QStyle::SP_DirIcon);
    case 7: return style->standardIcon(QStyle::SP_FileDialogInfoView);
    default: return {};
    }
}

void llenarArbol(QTreeWidget &arbol, const std::vector<NodoContacto> &nodos, ImagenDeNodo imagen)
{
    arbol.setUpdatesEnabled(false);
    arbol.clear();
    QHash<QString, QTreeWidgetItem *> porClave;
    QList<QTreeWidgetItem *> raices;
    // One icon per picture for the whole list: nodes that share it draw (and decode) it once.
    QHash<int, QIcon> iconos;
    for (const NodoContacto &nodo : nodos) {
        auto *item = new QTreeWidgetItem(QStringList{nodo.texto});
        // The same role the template trees use, so the shared hit test reads these keys too.
        item->setData(0, Qt::UserRole, nodo.clave);
        if (nodo.imagen) {
            auto icono = iconos.find(nodo.imagen);
            if (icono == iconos.end())
                icono = iconos.insert(nodo.imagen, imagen(nodo.imagen));
            item->setIcon(0, *icono);
        }
        QTreeWidgetItem *padre = nodo.padre.isEmpty() ? nullptr : porClave.value(nodo.padre);
        if (padre)
            padre->addChild(item);
        else
            raices.append(item);
        porClave.insert(nodo.clave, item);
    }
    arbol.addTopLevelItems(raices);
    arbol.setUpdatesEnabled(true);
}

QString claveSeleccionada(const QTreeWidget &arbol)
{
    return sending::claveNodo(arbol.currentItem());
}

QString claveDelPrimerNodo(const QTreeWidget &arbol)
{
    return sending::claveNodo(arbol.topLevelItem(0));
}

} // namespace contacts
