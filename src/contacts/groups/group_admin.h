#pragma once

#include "contacts/picker/contact_condition.h"
#include "contacts/picker/contact_nodes.h"
#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The membership of one group (the group administration window, "Administrar grupo"): the contact book filtered and paged
// with each contact marked as in the group or not, the group's members, and the changes, which
// touch only `Agenda.grupos_sid` and are computed here, never by text arithmetic in SQL.
namespace contacts::groups {

inline constexpr qint64 kTamanoAgenda = 100;
inline constexpr qint64 kTamanoMiembros = 50;

// The filter row of the window.
struct FiltroAdmin {
    int operador = 0;           // the operator combo
    int campo = 0;              // the field combo
    QString palabras;           // the words box
    bool porGrupo = false;      // the group check: members of another group too
    QString grupo;              // the group combo's text
    bool noIncluidos = false;   // the "Mostrar no incluidos"
};

struct CondicionAdmin {
    std::optional<Condicion> where;     // empty when it could not be built (see error)
    QString error;
};

// The contact book's condition for the administered group `group`.
CondicionAdmin condicionAgenda(db::Connection &connection, qint64 group, const FiltroAdmin &filter);

struct PaginaLista {
    bool ok = true;
    QString error;
    picker::Paginacion pagina;
    std::vector<picker::Nodo> nodos;
    qint64 filas = 0;
};

// The contact book at `position` (brought back to the last page when the list got shorter), by
// name; members of `group` carry image 2, the others image 1.
PaginaLista paginaAgenda(db::Connection &connection, qint64 group, const Condicion &where, qint64 position);

// The group's members at `position`, 50 a page in the order they were created.
PaginaLista paginaMiembros(db::Connection &connection, qint64 group, qint64 position);

// The names of the other groups, by name.
QStringList otrosGrupos(db::Connection &connection, qint64 group, db::Result *result = nullptr);

// Whether the contact belongs to the group; nothing when the contact is gone or on a failed read.
std::optional<bool> contactoEnGrupo(db::Connection &connection, qint64 group, qint64 contact);

enum class ChangeOutcome { Hecho, SinCambios, ContactoInexistente, GrupoInexistente, Error };

struct ResultadoCambio {
    ChangeOutcome estado = ChangeOutcome::Hecho;
    qint64 contactos = 0;   // contacts whose list changed
    QString error;
};

// "Agregar contacto al grupo".
ResultadoCambio agregarContacto(db::Connection &connection, qint64 group, qint64 contact);
// "Quitar contacto del grupo".
ResultadoCambio quitarContacto(db::Connection &connection, qint64 group, qint64 contact);
// "Añadir toda la lista": every contact that `where` selects (all pages) joins the group, in one
// transaction; SinCambios when all of them already belong to it.
ResultadoCambio agregarLista(db::Connection &connection, qint64 group, const Condicion &where);

} // namespace contacts::groups
