#include "contacts/contact_book.h"

#include "contacts/birth_date.h"
#include "contacts/node_keys.h"
#include "platform/db/connection.h"

#include <algorithm>

namespace contacts {

namespace {

const QString kColumnas = QStringLiteral(
    "sid, nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento, grupos_sid");

Contacto contactoDe(const db::Statement &fila)
{
    Contacto c;
    c.sid = fila.value(0).toLongLong();
    c.nombre = fila.text(1);
    c.telefono = fila.text(2);
    c.nombre_completo = fila.text(3);
    c.direccion = fila.text(4);
    c.telefono_2 = fila.text(5);
    c.comentario = fila.text(6);
    c.f_nacimiento = fila.text(7);
    c.grupos_sid = fila.text(8);
    return c;
}

} // namespace

RegistrosAgenda::Estado RegistrosAgenda::recargar(db::Connection &conexion, const std::optional<Condicion> &filtro)
{
    m_conexion = &conexion;
    m_donde.clear();
    m_valores.clear();
    m_total = 0;
    m_error.clear();
    if (filtro && !filtro->vacia()) {
        m_donde = QStringLiteral("WHERE ") + filtro->sql + QLatin1Char(' ');
        m_valores = filtro->valores;
    }
    db::Result r;
    const QVariant total = conexion.scalar(QStringLiteral("SELECT count(*) FROM Agenda ") + m_donde, m_valores, &r);
    if (!r.ok() || !total.isValid()) {
        m_conexion = nullptr;
        m_error = r.error;
        return Estado::ErrorBaseDatos;
    }
    m_total = total.toLongLong();
    return Estado::Ok;
}

bool RegistrosAgenda::leer(qint64 desde, qint64 cuantos, const std::function<void(const Contacto &)> &visitar) const
{
    if (!m_conexion)
        return false;
    // Equal names keep one order, so no contact repeats or vanishes across pages. SQLite keeps
    // only the rows up to the page's end while it sorts, so an early page costs one pass.
    const QString sql = QStringLiteral("SELECT ") + kColumnas + QStringLiteral(" FROM Agenda ") + m_donde
        + QStringLiteral("ORDER BY nombre COLLATE ESPANOL ASC, sid ASC LIMIT ?%1 OFFSET ?%2")
              .arg(m_valores.size() + 1)
              .arg(m_valores.size() + 2);
    db::Statement consulta = m_conexion->prepare(sql);
    if (!consulta.isValid())
        return false;
    consulta.bindAll(m_valores);
    consulta.bind(int(m_valores.size()) + 1, cuantos);
    consulta.bind(int(m_valores.size()) + 2, desde);
    while (consulta.next())
        visitar(contactoDe(consulta));
    return consulta.error().isEmpty();
}

std::vector<Contacto> RegistrosAgenda::filas() const
{
    std::vector<Contacto> filas;
    leer(0, m_total, [&filas](const Contacto &c) { filas.push_back(c); });
    return filas;
}

bool RegistrosAgenda::recorrer(const std::function<void(const Contacto &)> &visitar) const
{
    return leer(0, m_total, visitar);
}

std::vector<Contacto> RegistrosAgenda::tramo(qint64 desde, qint64 cuantos) const
{
    std::vector<Contacto> filas;
    if (desde < 0 || cuantos <= 0 || desde >= total())
        return filas;
    leer(desde, std::min(cuantos, total() - desde), [&filas](const Contacto &c) { filas.push_back(c); });
    return filas;
}

std::vector<NodoContacto> nodosContacto(const Contacto &c)
{
    std::vector<NodoContacto> nodos;
    const QString raiz = claveNodo(QStringLiteral("pContacto"), c.sid);
    nodos.push_back({raiz, {}, c.nombre, 7});
    auto par = [&](const char *categoria, const char *valor, const QString &titulo, const QString &texto) {
        const QString claveCategoria = claveNodo(QString::fromLatin1(categoria), c.sid);
        nodos.push_back({claveCategoria, raiz, titulo, 2});
        nodos.push_back({claveNodo(QString::fromLatin1(valor), c.sid), claveCategoria, texto, 2});
    };
    par("pTelefono", "Telefono", QStringLiteral("Teléfono móvil"), c.telefono);
    if (!c.nombre_completo.isEmpty())
        par("pNombre", "Nombre", QStringLiteral("Nombre completo"), c.nombre_completo);
    if (!c.direccion.isEmpty())
        par("pDireccion", "Direccion", QStringLiteral("Dirección"), c.direccion);
    if (!c.telefono_2.isEmpty())
        par("pTelefono2", "Telefono2", QStringLiteral("Otro teléfono"), c.telefono_2);
    if (!c.comentario.isEmpty())
        par("pComentarios", "Comentarios", QStringLiteral("Comentarios"), c.comentario);
    if (!c.f_nacimiento.isEmpty())
        par("pFechaNacimiento", "FechaNacimiento", QStringLiteral("Fecha nacimiento"), fechaMostrada(c.f_nacimiento));
    return nodos;
}

std::vector<NodoContacto> nodosPagina(const std::vector<Contacto> &contactos)
{
    if (contactos.empty())
        return {{QString::fromLatin1(kClaveVacia), {}, QStringLiteral("Sin contactos"), 0}};
    std::vector<NodoContacto> nodos;
    nodos.reserve(contactos.size() * 5);
    for (const Contacto &c : contactos) {
        std::vector<NodoContacto> propios = nodosContacto(c);
        nodos.insert(nodos.end(), propios.begin(), propios.end());
    }
    return nodos;
}

std::optional<Contacto> leerContacto(db::Connection &conexion, qint64 sid)
{
    db::Statement consulta =
        conexion.prepare(QStringLiteral("SELECT ") + kColumnas + QStringLiteral(" FROM Agenda WHERE sid = ?"));
    if (!consulta.isValid())
        return std::nullopt;
    consulta.bind(1, sid);
    if (!consulta.next())
        return std::nullopt;
    return contactoDe(consulta);
}

ResultadoBorrado borrarContacto(db::Connection &conexion, qint64 sid)
{
    const db::Result r = conexion.execute(QStringLiteral("DELETE FROM Agenda WHERE sid = ?"), {sid});
    if (!r.ok())
        return {ResultadoBorrado::Estado::ErrorBaseDatos, r.error};
    if (r.changes == 0)
        return {ResultadoBorrado::Estado::NoExiste, {}};
    return {};
}

ResultadoBorrado borrarAgendaCompleta(db::Connection &conexion)
{
    db::Transaction transaccion(conexion);
    if (!transaccion.isActive())
        return {ResultadoBorrado::Estado::ErrorBaseDatos, QStringLiteral("no transaction")};
    for (const char *sql : {"DELETE FROM Grupos", "DELETE FROM Agenda"}) {
        const db::Result r = conexion.execute(QString::fromLatin1(sql));
        if (!r.ok())
            return {ResultadoBorrado::Estado::ErrorBaseDatos, r.error};
    }
    const db::Result r = transaccion.commit();
    if (!r.ok())
        return {ResultadoBorrado::Estado::ErrorBaseDatos, r.error};
    return {};
}

} // namespace contacts
