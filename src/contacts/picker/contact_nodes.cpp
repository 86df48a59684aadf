#include "contacts/picker/contact_nodes.h"

#include "contacts/birth_date.h"
#include "contacts/pager.h"

namespace contacts::picker {

namespace {

QString texto(const db::Row &fila, int columna)
{
    return columna < fila.size() && fila.at(columna).isValid() ? fila.at(columna).toString() : QString();
}

void par(std::vector<Nodo> &nodos, const QString &sid, const QString &raiz, const char *categoria,
         const char *valor, const QString &titulo, const QString &dato, int imagen, bool siempre = false)
{
    if (!siempre && dato.isEmpty())
        return;
    const QString claveCategoria = QLatin1String(categoria) + sid;
    nodos.push_back({claveCategoria, raiz, titulo, imagen});
    nodos.push_back({QLatin1String(valor) + sid, claveCategoria, dato, imagen});
}

} // namespace

Contacto contactoDeFila(const db::Row &fila)
{
    Contacto c;
    c.sid = fila.value(0).toLongLong();
    c.nombre = texto(fila, 1);
    c.telefono = texto(fila, 2);
    c.nombre_completo = texto(fila, 3);
    c.direccion = texto(fila, 4);
    c.telefono_2 = texto(fila, 5);
    c.comentario = texto(fila, 6);
    c.f_nacimiento = texto(fila, 7);
    c.grupos_sid = texto(fila, 8);
    return c;
}

void nodosContacto(const Contacto &c, int imagenContacto, int imagenDetalle, std::vector<Nodo> &nodos,
                   const QString &tituloMovil)
{
    const QString sid = QString::number(c.sid);
    const QString raiz = QStringLiteral("pContacto ") + sid;
    nodos.push_back({raiz, {}, c.nombre, imagenContacto});
    par(nodos, sid, raiz, "pTelefono ", "Telefono ", tituloMovil, c.telefono, imagenDetalle, true);
    par(nodos, sid, raiz, "pNombre ", "Nombre ", QStringLiteral("Nombre completo"), c.nombre_completo, imagenDetalle);
    par(nodos, sid, raiz, "pDireccion ", "Direccion ", QStringLiteral("Dirección"), c.direccion, imagenDetalle);
    par(nodos, sid, raiz, "pTelefono2 ", "Telefono2 ", QStringLiteral("Otro teléfono"), c.telefono_2, imagenDetalle);
    par(nodos, sid, raiz, "pComentarios ", "Comentarios ", QStringLiteral("Comentarios"), c.comentario, imagenDetalle);
    par(nodos, sid, raiz, "pFechaNacimiento ", "FechaNacimiento ", QStringLiteral("Fecha de nacimiento"),
        fechaMostrada(c.f_nacimiento), imagenDetalle);
}

std::optional<qint64> sidDeGrupo(const QString &clave)
{
    static const QString prefijo = QStringLiteral("pGrupo ");
    if (!clave.startsWith(prefijo))
        return std::nullopt;
    bool ok = false;
    const qint64 sid = clave.mid(prefijo.size()).trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(sid) : std::nullopt;
}

Paginacion paginar(qint64 filas, qint64 posicion, qint64 tamano, const QString &etiquetaVacia)
{
    const Paginador p = actualizarPaginador(filas, tamano, posicion);
    return {p.posicion, p.maximo, filas > 0 ? p.etiqueta : etiquetaVacia};
}

} // namespace contacts::picker
