#include "contacts/view/contact_tree.h"

#include "sending/templates/template_tree.h"

#include <QApplication>
#include <QHash>
#include <QStyle>
#include <QTreeWidget>

namespace contacts {

QIcon imagenDeLista(int number)
{
    const QStyle *style = QApplication::style();
    switch (number) {
    case 2: return style->standardIcon(QStyle::SP_FileIcon);
    case 6: return style->standardIcon(QStyle::SP_DirIcon);
    case 7: return style->standardIcon(QStyle::SP_FileDialogInfoView);
    default: return {};
    }
}

void llenarArbol(QTreeWidget &tree, const std::vector<NodoContacto> &nodes, ImagenDeNodo image)
{
    tree.setUpdatesEnabled(false);
    tree.clear();
    QHash<QString, QTreeWidgetItem *> byKey;
    QList<QTreeWidgetItem *> roots;
    // One icon per picture for the whole list: nodes that share it draw (and decode) it once.
    QHash<int, QIcon> icons;
    for (const NodoContacto &node : nodes) {
        auto *item = new QTreeWidgetItem(QStringList{node.texto});
        // The same role the template trees use, so the shared hit test reads these keys too.
        item->setData(0, Qt::UserRole, node.clave);
        if (node.imagen) {
            auto icon = icons.find(node.imagen);
            if (icon == icons.end())
                icon = icons.insert(node.imagen, image(node.imagen));
            item->setIcon(0, *icon);
        }
        QTreeWidgetItem *parent = node.padre.isEmpty() ? nullptr : byKey.value(node.padre);
        if (parent)
            parent->addChild(item);
        else
            roots.append(item);
        byKey.insert(node.clave, item);
    }
    tree.addTopLevelItems(roots);
    tree.setUpdatesEnabled(true);
}

QString claveSeleccionada(const QTreeWidget &tree)
{
    return sending::claveNodo(tree.currentItem());
}

QString claveDelPrimerNodo(const QTreeWidget &tree)
{
    return sending::claveNodo(tree.topLevelItem(0));
}

} // namespace contacts
