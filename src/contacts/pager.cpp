#include "contacts/pager.h"

#include <algorithm>

namespace contacts {

QString etiquetaPagina(qint64 filas, qint64 posicion, qint64 maximo)
{
    if (filas <= 0)
        return QStringLiteral("Página 0 de 0");
    return QStringLiteral("Página ") + QString::number(posicion + 1) + QStringLiteral(" de ")
        + QString::number(maximo + 1);
}

Paginador actualizarPaginador(qint64 filas, qint64 tamano, qint64 posicion)
{
    Paginador p;
    if (filas <= 0 || tamano <= 0) {
        p.etiqueta = etiquetaPagina(0, 0, 0);
        return p;
    }
    p.maximo = (filas - 1) / tamano;
    // A list that shrank under the page showing lands on its new last page.
    p.posicion = std::clamp<qint64>(posicion, 0, p.maximo);
    p.desde = p.posicion * tamano;
    p.etiqueta = etiquetaPagina(filas, p.posicion, p.maximo);
    return p;
}

} // namespace contacts
