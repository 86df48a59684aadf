#pragma once

#include <QString>

// `paginador`: a list shown a page at a time, the page chosen with a scroll bar and named by a
// label ("Página 3 de 12"). The widgets only show what these functions compute.
namespace contacts {

struct PagerState {
    qint64 page = 0;   // the page shown, from 0
    qint64 lastPage = 0;     // the last page
    qint64 firstRow = 0;      // first row shown (posicion * tamano)
    QString label;      // "Página 0 de 0" for an empty list
};

// The pager after a redraw that counted `rows` rows, for a list of `pageSize` rows a page that was
// showing page `position`. A position past the end falls back to the last page.
PagerState updatePager(qint64 rows, qint64 pageSize, qint64 position);

// The label text for a page (from 0) and the last page; "Página 0 de 0" when there are no rows.
QString pageLabel(qint64 rows, qint64 position, qint64 last);

} // namespace contacts
