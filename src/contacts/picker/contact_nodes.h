#pragma once

#include "contacts/contact_book.h"
#include "contacts/node_keys.h"
#include "platform/db/connection.h"

#include <QString>

#include <optional>
#include <vector>

// One contact as the contact trees show it, the node keys (`clave_nodo`) of those trees and the
// page arithmetic (`paginador`) of their lists, shared by the recipient picker and the group
// administration.
namespace contacts::picker {

// The columns every contact tree reads, in this order.
inline constexpr auto kContactColumns =
    "sid, nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento, grupos_sid";

// A row read with kColumnasContacto.
Contact contactFromRow(const db::Row &row);

// A node to add (images: 1 contact, 2 contact in the group, 3 group or detail; 0 none).
using Node = contacts::ContactNode;

// The contact's root node and its detail pairs: the mobile phone always, the others when they
// have text. `contactImage` and `detailImage` are the images the list uses.
// `mobileTitle` is the mobile category's text, which the group administration writes its own way.
void appendContactNodes(const Contact &c, int contactImage, int detailImage, std::vector<Node> &nodes,
                   const QString &mobileTitle = QStringLiteral("Teléfono móvil"));

// The group's sid of a key "pGrupo <sid>"; nothing for any other key.
std::optional<qint64> groupSidFromKey(const QString &key);

struct PageBar {
    qint64 page = 0;    // the page shown, from 0
    qint64 lastPage = 0;      // the last page
    QString label;       // "Página 2 de 5"
};

// The page bar for `rows` rows at `pageSize` a page: a position beyond the last page comes back to
// it; an empty list stays on 0 and reads `emptyLabel`.
PageBar paginate(qint64 rows, qint64 position, qint64 pageSize, const QString &emptyLabel);

} // namespace contacts::picker
