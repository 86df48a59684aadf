#include "contacts/pager.h"

#include <algorithm>

namespace contacts {

QString etiquetaPagina(qint64 rows, qint64 position, qint64 last)
{
    if (rows <= 0)
        return QStringLiteral("Página 0 de 0");
    return QStringLiteral("Página ") + QString::number(position + 1) + QStringLiteral(" de ")
        + QString::number(last + 1);
}

Paginador actualizarPaginador(qint64 rows, qint64 pageSize, qint64 position)
{
    Paginador p;
    if (rows <= 0 || pageSize <= 0) {
        p.etiqueta = etiquetaPagina(0, 0, 0);
        return p;
    }
    p.maximo = (rows - 1) / pageSize;
    // A list that shrank under the page showing lands on its new last page.
    p.posicion = std::clamp<qint64>(position, 0, p.maximo);
    p.desde = p.posicion * pageSize;
    p.etiqueta = etiquetaPagina(rows, p.posicion, p.maximo);
    return p;
}

} // namespace contacts
