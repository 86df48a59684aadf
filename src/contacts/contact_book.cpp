#include "contacts/contact_book.h"

#include "contacts/birth_date.h"
#include "contacts/node_keys.h"
#include "platform/db/connection.h"

#include <algorithm>

namespace contacts {

namespace {

const QString kColumns = QStringLiteral(
    "sid, nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento, grupos_sid");

Contacto contactOf(const db::Statement &row)
{
    Contacto c;
    c.sid = row.value(0).toLongLong();
    c.nombre = row.text(1);
    c.telefono = row.text(2);
    c.nombre_completo = row.text(3);
    c.direccion = row.text(4);
    c.telefono_2 = row.text(5);
    c.comentario = row.text(6);
    c.f_nacimiento = row.text(7);
    c.grupos_sid = row.text(8);
    return c;
}

} // namespace

RegistrosAgenda::Status RegistrosAgenda::recargar(db::Connection &connection, const std::optional<Condicion> &filter)
{
    m_conexion = &connection;
    m_donde.clear();
    m_valores.clear();
    m_total = 0;
    m_error.clear();
    if (filter && !filter->vacia()) {
        m_donde = QStringLiteral("WHERE ") + filter->sql + QLatin1Char(' ');
        m_valores = filter->valores;
    }
    db::Result r;
    const QVariant total = connection.scalar(QStringLiteral("SELECT count(*) FROM Agenda ") + m_donde, m_valores, &r);
    if (!r.ok() || !total.isValid()) {
        m_conexion = nullptr;
        m_error = r.error;
        return Status::ErrorBaseDatos;
    }
    m_total = total.toLongLong();
    return Status::Ok;
}

bool RegistrosAgenda::leer(qint64 from, qint64 howMany, const std::function<void(const Contacto &)> &visit) const
{
    if (!m_conexion)
        return false;
    // Equal names keep one order, so no contact repeats or vanishes across pages. SQLite keeps
    // only the rows up to the page's end while it sorts, so an early page costs one pass.
    const QString sql = QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM Agenda ") + m_donde
        + QStringLiteral("ORDER BY nombre COLLATE ESPANOL ASC, sid ASC LIMIT ?%1 OFFSET ?%2")
              .arg(m_valores.size() + 1)
              .arg(m_valores.size() + 2);
    db::Statement query = m_conexion->prepare(sql);
    if (!query.isValid())
        return false;
    query.bindAll(m_valores);
    query.bind(int(m_valores.size()) + 1, howMany);
    query.bind(int(m_valores.size()) + 2, from);
    while (query.next())
        visit(contactOf(query));
    return query.error().isEmpty();
}

std::vector<Contacto> RegistrosAgenda::filas() const
{
    std::vector<Contacto> rows;
    leer(0, m_total, [&rows](const Contacto &c) { rows.push_back(c); });
    return rows;
}

bool RegistrosAgenda::recorrer(const std::function<void(const Contacto &)> &visit) const
{
    return leer(0, m_total, visit);
}

std::vector<Contacto> RegistrosAgenda::tramo(qint64 from, qint64 howMany) const
{
    std::vector<Contacto> rows;
    if (from < 0 || howMany <= 0 || from >= total())
        return rows;
    leer(from, std::min(howMany, total() - from), [&rows](const Contacto &c) { rows.push_back(c); });
    return rows;
}

std::vector<NodoContacto> nodosContacto(const Contacto &c)
{
    std::vector<NodoContacto> nodes;
    const QString root = claveNodo(QStringLiteral("pContacto"), c.sid);
    nodes.push_back({root, {}, c.nombre, 7});
    auto addPair = [&](const char *category, const char *value, const QString &title, const QString &text) {
        const QString categoryKey = claveNodo(QString::fromLatin1(category), c.sid);
        nodes.push_back({categoryKey, root, title, 2});
        nodes.push_back({claveNodo(QString::fromLatin1(value), c.sid), categoryKey, text, 2});
    };
    addPair("pTelefono", "Telefono", QStringLiteral("Teléfono móvil"), c.telefono);
    if (!c.nombre_completo.isEmpty())
        addPair("pNombre", "Nombre", QStringLiteral("Nombre completo"), c.nombre_completo);
    if (!c.direccion.isEmpty())
        addPair("pDireccion", "Direccion", QStringLiteral("Dirección"), c.direccion);
    if (!c.telefono_2.isEmpty())
        addPair("pTelefono2", "Telefono2", QStringLiteral("Otro teléfono"), c.telefono_2);
    if (!c.comentario.isEmpty())
        addPair("pComentarios", "Comentarios", QStringLiteral("Comentarios"), c.comentario);
    if (!c.f_nacimiento.isEmpty())
        addPair("pFechaNacimiento", "FechaNacimiento", QStringLiteral("Fecha nacimiento"), fechaMostrada(c.f_nacimiento));
    return nodes;
}

std::vector<NodoContacto> nodosPagina(const std::vector<Contacto> &contactList)
{
    if (contactList.empty())
        return {{QString::fromLatin1(kClaveVacia), {}, QStringLiteral("Sin contactos"), 0}};
    std::vector<NodoContacto> nodes;
    nodes.reserve(contactList.size() * 5);
    for (const Contacto &c : contactList) {
        std::vector<NodoContacto> own = nodosContacto(c);
        nodes.insert(nodes.end(), own.begin(), own.end());
    }
    return nodes;
}

std::optional<Contacto> leerContacto(db::Connection &connection, qint64 sid)
{
    db::Statement query =
        connection.prepare(QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM Agenda WHERE sid = ?"));
    if (!query.isValid())
        return std::nullopt;
    query.bind(1, sid);
    if (!query.next())
        return std::nullopt;
    return contactOf(query);
}

ResultadoBorrado borrarContacto(db::Connection &connection, qint64 sid)
{
    const db::Result r = connection.execute(QStringLiteral("DELETE FROM Agenda WHERE sid = ?"), {sid});
    if (!r.ok())
        return {ResultadoBorrado::Status::ErrorBaseDatos, r.error};
    if (r.changes == 0)
        return {ResultadoBorrado::Status::NoExiste, {}};
    return {};
}

ResultadoBorrado borrarAgendaCompleta(db::Connection &connection)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {ResultadoBorrado::Status::ErrorBaseDatos, QStringLiteral("no transaction")};
    for (const char *sql : {"DELETE FROM Grupos", "DELETE FROM Agenda"}) {
        const db::Result r = connection.execute(QString::fromLatin1(sql));
        if (!r.ok())
            return {ResultadoBorrado::Status::ErrorBaseDatos, r.error};
    }
    const db::Result r = transaction.commit();
    if (!r.ok())
        return {ResultadoBorrado::Status::ErrorBaseDatos, r.error};
    return {};
}

} // namespace contacts
