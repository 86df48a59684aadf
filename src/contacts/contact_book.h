#pragma once

#include "contacts/sql_condition.h"

#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>
#include <vector>

namespace db { class Connection; }

// The contact book (table Agenda) as the "Contactos" tab lists it: the rows of the current query,
// read once per reload, a page at a time, and the nodes each contact shows.
namespace contacts {

inline constexpr qint64 kContactosPorPagina = 50;

struct Contacto {
    qint64 sid = 0;
    QString nombre;
    QString telefono;
    QString nombre_completo;
    QString direccion;
    QString telefono_2;
    QString comentario;
    QString f_nacimiento;       // stored form (yyyy-MM-dd) or empty
    QString grupos_sid;
};

// The contact query in name order. A reload counts the rows; a page reads only
// its own rows, sorted by the database, so a large book is never held in memory to show 50 of it.
// The count and the query stay those of the last reload until the next one.
class RegistrosAgenda final {
public:
    enum class Status { Ok, ErrorBaseDatos };

    // Runs the query again: the whole book, or the rows matching `filter` when given. A failing
    // query (a comparison the database cannot make) leaves an empty list and says so.
    Status recargar(db::Connection &connection, const std::optional<Condicion> &filter);

    qint64 total() const { return m_total; }
    // Every row of the list, in name order.
    std::vector<Contacto> filas() const;
    // The same rows handed over one at a time, none of them kept. False on a database error.
    bool recorrer(const std::function<void(const Contacto &)> &visit) const;
    // At most `howMany` rows from `from`.
    std::vector<Contacto> tramo(qint64 from, qint64 howMany) const;
    QString error() const { return m_error; }

private:
    bool leer(qint64 from, qint64 howMany, const std::function<void(const Contacto &)> &visit) const;

    db::Connection *m_conexion = nullptr;
    QString m_donde;            // "WHERE ..." of the filter, or empty
    QVariantList m_valores;
    qint64 m_total = 0;
    QString m_error;
};

// One node of the contacts tree.
struct NodoContacto {
    QString clave;              // clave_nodo
    QString padre;              // key of the parent node; empty for a contact
    QString texto;
    int imagen = 0;             // 7 contact, 2 category and value, 0 none
};

// The nodes of one contact, parents before children: the contact, its phone pair, then the pairs
// of the filled-in optional fields (full name, address, other phone, comment, birth date).
std::vector<NodoContacto> nodosContacto(const Contacto &contact);

// The nodes of a page; the single node "l0" "Sin contactos" for an empty list.
std::vector<NodoContacto> nodosPagina(const std::vector<Contacto> &contactList);

// One contact by sid; nothing when it no longer exists (or the database failed).
std::optional<Contacto> leerContacto(db::Connection &connection, qint64 sid);

// The contacts tab's delete statement: deletes the contact (its memberships go with it).
struct ResultadoBorrado {
    enum class Status { Borrado, NoExiste, ErrorBaseDatos };
    Status estado = Status::Borrado;
    QString error;
    bool ok() const { return estado == Status::Borrado; }
};
// NoExiste when no contact has that key (deleted meanwhile, from another window or workstation).
ResultadoBorrado borrarContacto(db::Connection &connection, qint64 sid);

// The whole book ("Borrar agenda"): every group, then every contact, together or not at all.
ResultadoBorrado borrarAgendaCompleta(db::Connection &connection);

inline constexpr auto kContactoEliminado = "El contacto ha sido eliminado de la agenda";
// A popup item whose contact has gone since the menu opened.
inline constexpr auto kContactoDesaparecido = "El contacto ya no está en la agenda. No se ha hecho nada.";
inline constexpr auto kTituloContactoDesaparecido = "Agenda";
inline constexpr auto kTituloEliminarContacto = "Eliminar contacto";
inline constexpr auto kAgendaEliminada = "Ha sido eliminada toda la agenda correctamente.";
inline constexpr auto kTituloAgendaEliminada = "Agenda eliminada satisfactoriamente";

} // namespace contacts
