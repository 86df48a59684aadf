#include "contacts/picker/contact_nodes.h"

#include "contacts/birth_date.h"
#include "contacts/pager.h"

namespace contacts::picker {

namespace {

QString text(const db::Row &row, int column)
{
    return column < row.size() && row.at(column).isValid() ? row.at(column).toString() : QString();
}

void addPair(std::vector<Nodo> &nodes, const QString &sid, const QString &root, const char *category,
         const char *valuePrefix, const QString &title, const QString &value, int image, bool always = false)
{
    if (!always && value.isEmpty())
        return;
    const QString categoryKey = QLatin1String(category) + sid;
    nodes.push_back({categoryKey, root, title, image});
    nodes.push_back({QLatin1String(valuePrefix) + sid, categoryKey, value, image});
}

} // namespace

Contacto contactoDeFila(const db::Row &row)
{
    Contacto c;
    c.sid = row.value(0).toLongLong();
    c.nombre = text(row, 1);
    c.telefono = text(row, 2);
    c.nombre_completo = text(row, 3);
    c.direccion = text(row, 4);
    c.telefono_2 = text(row, 5);
    c.comentario = text(row, 6);
    c.f_nacimiento = text(row, 7);
    c.grupos_sid = text(row, 8);
    return c;
}

void nodosContacto(const Contacto &c, int contactImage, int detailImage, std::vector<Nodo> &nodes,
                   const QString &mobileTitle)
{
    const QString sid = QString::number(c.sid);
    const QString root = QStringLiteral("pContacto ") + sid;
    nodes.push_back({root, {}, c.nombre, contactImage});
    addPair(nodes, sid, root, "pTelefono ", "Telefono ", mobileTitle, c.telefono, detailImage, true);
    addPair(nodes, sid, root, "pNombre ", "Nombre ", QStringLiteral("Nombre completo"), c.nombre_completo, detailImage);
    addPair(nodes, sid, root, "pDireccion ", "Direccion ", QStringLiteral("Dirección"), c.direccion, detailImage);
    addPair(nodes, sid, root, "pTelefono2 ", "Telefono2 ", QStringLiteral("Otro teléfono"), c.telefono_2, detailImage);
    addPair(nodes, sid, root, "pComentarios ", "Comentarios ", QStringLiteral("Comentarios"), c.comentario, detailImage);
    addPair(nodes, sid, root, "pFechaNacimiento ", "FechaNacimiento ", QStringLiteral("Fecha de nacimiento"),
        fechaMostrada(c.f_nacimiento), detailImage);
}

std::optional<qint64> sidDeGrupo(const QString &key)
{
    static const QString prefix = QStringLiteral("pGrupo ");
    if (!key.startsWith(prefix))
        return std::nullopt;
    bool ok = false;
    const qint64 sid = key.mid(prefix.size()).trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(sid) : std::nullopt;
}

Paginacion paginar(qint64 rows, qint64 position, qint64 pageSize, const QString &emptyLabel)
{
    const Paginador p = actualizarPaginador(rows, pageSize, position);
    return {p.posicion, p.maximo, rows > 0 ? p.etiqueta : emptyLabel};
}

} // namespace contacts::picker
