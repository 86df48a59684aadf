#include "contacts/pager.h"

#include <algorithm>

namespace contacts {

QString pageLabel(qint64 rows, qint64 position, qint64 last)
{
    if (rows <= 0)
        return QStringLiteral("Página 0 de 0");
    return QStringLiteral("Página ") + QString::number(position + 1) + QStringLiteral(" de ")
        + QString::number(last + 1);
}

PagerState updatePager(qint64 rows, qint64 pageSize, qint64 position)
{
    PagerState p;
    if (rows <= 0 || pageSize <= 0) {
        p.label = pageLabel(0, 0, 0);
        return p;
    }
    p.lastPage = (rows - 1) / pageSize;
    // A list that shrank under the page showing lands on its new last page.
    p.page = std::clamp<qint64>(position, 0, p.lastPage);
    p.firstRow = p.page * pageSize;
    p.label = pageLabel(rows, p.page, p.lastPage);
    return p;
}

} // namespace contacts
