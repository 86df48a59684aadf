#include "contacts/picker/contact_nodes.h"

#include "contacts/birth_date.h"
#include "contacts/pager.h"

namespace contacts::picker {

namespace {

QString text(const db::Row &row, int column)
{
    return column < row.size() && row.at(column).isValid() ? row.at(column).toString() : QString();
}

void addPair(std::vector<Node> &nodes, const QString &sid, const QString &root, const char *category,
         const char *valuePrefix, const QString &title, const QString &value, int image, bool always = false)
{
    if (!always && value.isEmpty())
        return;
    const QString categoryKey = QLatin1String(category) + sid;
    nodes.push_back({categoryKey, root, title, image});
    nodes.push_back({QLatin1String(valuePrefix) + sid, categoryKey, value, image});
}

} // namespace

Contact contactFromRow(const db::Row &row)
{
    Contact c;
    c.sid = row.value(0).toLongLong();
    c.name = text(row, 1);
    c.phone = text(row, 2);
    c.fullName = text(row, 3);
    c.address = text(row, 4);
    c.phone2 = text(row, 5);
    c.comment = text(row, 6);
    c.birthDate = text(row, 7);
    c.groupSids = text(row, 8);
    return c;
}

void appendContactNodes(const Contact &c, int contactImage, int detailImage, std::vector<Node> &nodes,
                   const QString &mobileTitle)
{
    const QString sid = QString::number(c.sid);
    const QString root = QStringLiteral("pContacto ") + sid;
    nodes.push_back({root, {}, c.name, contactImage});
    addPair(nodes, sid, root, "pTelefono ", "Telefono ", mobileTitle, c.phone, detailImage, true);
    addPair(nodes, sid, root, "pNombre ", "Nombre ", QStringLiteral("Nombre completo"), c.fullName, detailImage);
    addPair(nodes, sid, root, "pDireccion ", "Direccion ", QStringLiteral("Dirección"), c.address, detailImage);
    addPair(nodes, sid, root, "pTelefono2 ", "Telefono2 ", QStringLiteral("Otro teléfono"), c.phone2, detailImage);
    addPair(nodes, sid, root, "pComentarios ", "Comentarios ", QStringLiteral("Comentarios"), c.comment, detailImage);
    addPair(nodes, sid, root, "pFechaNacimiento ", "FechaNacimiento ", QStringLiteral("Fecha de nacimiento"),
        shownDate(c.birthDate), detailImage);
}

std::optional<qint64> groupSidFromKey(const QString &key)
{
    static const QString prefix = QStringLiteral("pGrupo ");
    if (!key.startsWith(prefix))
        return std::nullopt;
    bool ok = false;
    const qint64 sid = key.mid(prefix.size()).trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(sid) : std::nullopt;
}

PageBar paginate(qint64 rows, qint64 position, qint64 pageSize, const QString &emptyLabel)
{
    const PagerState p = updatePager(rows, pageSize, position);
    return {p.page, p.lastPage, rows > 0 ? p.label : emptyLabel};
}

} // namespace contacts::picker
