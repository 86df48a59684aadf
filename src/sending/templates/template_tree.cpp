#include "sending/templates/template_tree.h"

#include "sending/templates/template_rules.h"

#include <QTreeWidget>

#include <array>

namespace sending {

namespace {

constexpr int kRolClave = Qt::UserRole;

QTreeWidgetItem *nodo(const QString &clave, const QString &texto)
{
    auto *item = new QTreeWidgetItem(QStringList{texto});
    item->setData(0, kRolClave, clave);
    item->setToolTip(0, texto);
    return item;
}

} // namespace

void llenarArbolPlantillas(QTreeWidget &arbol, const std::vector<Plantilla> &plantillas,
                           const QString &textoVacio)
{
    arbol.setUpdatesEnabled(false);
    arbol.clear();
    if (plantillas.empty()) {
        arbol.addTopLevelItem(nodo(QLatin1String(kClaveVacia), textoVacio));
    } else {
        QList<QTreeWidgetItem *> nodos;
        nodos.reserve(qsizetype(plantillas.size()));
        for (const Plantilla &plantilla : plantillas) {
            QTreeWidgetItem *padre = nodo(clavePlantilla(plantilla.sid), plantilla.nombre);
            padre->addChild(nodo(claveMensaje(plantilla.sid), textoCaja(plantilla.mensaje)));
            nodos.append(padre);
        }
        arbol.addTopLevelItems(nodos);
    }
    arbol.setUpdatesEnabled(true);
}

QString claveNodo(const QTreeWidgetItem *nodo)
{
    return nodo ? nodo->data(0, kRolClave).toString() : QString();
}

QString claveDelPrimerNodo(const QTreeWidget &arbol)
{
    return claveNodo(arbol.topLevelItem(0));
}

QTreeWidgetItem *nodoEn(const QTreeWidget &arbol, QPoint pos)
{
    if (QTreeWidgetItem *item = arbol.itemAt(pos))
        return item;
    static constexpr std::array<int, 6> twips{400, 800, 1200, 1600, 2000, 2400};
    const int dpi = arbol.logicalDpiX() > 0 ? arbol.logicalDpiX() : 96;
    for (const int x : twips) {
        if (QTreeWidgetItem *item = arbol.itemAt(QPoint(x * dpi / 1440, pos.y())))
            return item;
    }
    return nullptr;
}

bool accionesDeFilaActivas(const QTreeWidgetItem *seleccionado, bool nodoEncontrado)
{
    return seleccionado && nodoEncontrado && claveNodo(seleccionado) != QLatin1String(kClaveVacia);
}

bool pulsacionEnArbol(QTreeWidget &arbol, QPoint pos)
{
    QTreeWidgetItem *encontrado = nodoEn(arbol, pos);
    if (encontrado)
        arbol.setCurrentItem(encontrado);
    const QList<QTreeWidgetItem *> seleccion = arbol.selectedItems();
    return accionesDeFilaActivas(seleccion.isEmpty() ? nullptr : seleccion.first(), encontrado);
}

} // namespace sending
