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
    m_filas.clear();
    m_error.clear();
    QString sql = QStringLiteral("SELECT ") + kColumnas + QStringLiteral(" FROM Agenda ");
    QVariantList valores;
    if (filtro && !filtro->vacia()) {
        sql += QStringLiteral("WHERE ") + filtro->sql + QLatin1Char(' ');
        valores = filtro->valores;
    }
    // Equal names keep one order, so no contact repeats or vanishes across pages.
    sql += QStringLiteral("ORDER BY nombre COLLATE ESPANOL ASC, sid ASC");

    db::Result r;
    db::Statement consulta = conexion.prepare(sql, &r);
    if (!consulta.isValid()) {
        m_error = r.error;
        return Estado::ErrorBaseDatos;
    }
    consulta.bindAll(valores);
    while (consulta.next())
        m_filas.push_back(contactoDe(consulta));
    if (!consulta.error().isEmpty()) {
        m_filas.clear();
        m_error = consulta.error();
        return Estado::ErrorBaseDatos;
    }
    return Estado::Ok;
}

std::vector<Contacto> RegistrosAgenda::tramo(qint64 desde, qint64 cuantos) const
{
    if (desde < 0 || cuantos <= 0 || desde >= total())
        return {};
    const auto inicio = m_filas.begin() + desde;
    const auto fin = m_filas.begin() + std::min(total(), desde + cuantos);
    return {inicio, fin};
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
