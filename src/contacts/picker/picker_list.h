#pragma once

#include "contacts/picker/contact_condition.h"
#include "contacts/picker/contact_nodes.h"
#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What the recipient picker lists: every group while no filter is set, then
// the contacts that match, by name, 100 items a page.
namespace contacts::picker {

inline constexpr qint64 kTamanoSelector = 100;

// The picker's filter row, as its controls hold it.
struct FiltroSelector {
    int operador = 0;           // the operator combo
    int campo = 0;              // the field combo
    QString palabras;           // the words box
    bool porGrupo = false;      // the group check
    QString grupo;              // the group combo's text
};

struct CondicionSelector {
    std::optional<Condicion> condicion;     // empty when it could not be built (see error)
    QString error;
};

// "Filtrar": the field clause and, when a group is ticked and still exists by that name, its
// membership. A group that is gone is left out; the rest of the filter applies.
CondicionSelector condicionSelector(db::Connection &connection, const FiltroSelector &filter);

struct PaginaSelector {
    bool ok = true;
    QString error;
    Paginacion pagina;
    std::vector<Nodo> nodos;     // in the order the tree adds them
    qint64 grupos = 0;           // groups listed (0 under a filter)
    qint64 contactos = 0;        // contacts that match
};

// The page at `position` (brought back to the last page when the list got shorter); `condition`
// empty means no filter. An empty list still reads "Página 1 de 1" and shows "Sin contactos".
PaginaSelector paginaSelector(db::Connection &connection, const std::optional<Condicion> &condition,
                              qint64 position);

// The group names for the filter's group list, by name; empty when there is no group.
QStringList nombresDeGrupos(db::Connection &connection, db::Result *result = nullptr);

} // namespace contacts::picker
