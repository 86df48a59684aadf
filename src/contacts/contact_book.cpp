#include "contacts/contact_book.h"

#include "contacts/birth_date.h"
#include "contacts/node_keys.h"
#include "platform/db/connection.h"

#include <algorithm>

namespace contacts {

namespace {

const QString kColumns = QStringLiteral(
    "sid, nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento, grupos_sid");

Contact contactOf(const db::Statement &row)
{
    Contact c;
    c.sid = row.value(0).toLongLong();
    c.name = row.text(1);
    c.phone = row.text(2);
    c.fullName = row.text(3);
    c.address = row.text(4);
    c.phone2 = row.text(5);
    c.comment = row.text(6);
    c.birthDate = row.text(7);
    c.groupSids = row.text(8);
    return c;
}

QString where(const Condition &c)
{
    return c.isBlank() ? QString() : QStringLiteral(" WHERE ") + c.sql;
}

} // namespace

ContactRecords::Status ContactRecords::reload(db::Connection &connection, const std::optional<Condition> &filter)
{
    m_connection = &connection;
    m_filter = filter && !filter->isBlank() ? *filter : Condition{};
    m_total = 0;
    m_anchor.reset();
    m_error.clear();
    db::Result r;
    const QVariant total = connection.scalar(QStringLiteral("SELECT count(*) FROM Agenda") + where(m_filter), m_filter.values, &r);
    if (!r.ok() || !total.isValid()) {
        m_connection = nullptr;
        m_error = r.error;
        return Status::DatabaseError;
    }
    m_total = total.toLongLong();
    return Status::Ok;
}

qint64 ContactRecords::countNow() const
{
    if (!m_connection)
        return -1;
    db::Result r;
    const QVariant n = m_connection->scalar(QStringLiteral("SELECT count(*) FROM Agenda") + where(m_filter), m_filter.values, &r);
    return r.ok() && n.isValid() ? n.toLongLong() : -1;
}

bool ContactRecords::read(const Condition &key, bool backwards, qint64 limit, qint64 offset,
                          const std::function<void(const Contact &)> &visit) const
{
    if (!m_connection)
        return false;
    const Condition c = m_filter && key;
    QString sql = QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM Agenda") + where(c) + nameOrder(backwards);
    QVariantList values = c.values;
    if (limit >= 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        values << limit << offset;
    }
    db::Statement query = m_connection->prepare(sql);
    if (!query.isValid())
        return false;
    query.bindAll(values);
    while (query.next())
        visit(contactOf(query));
    return query.error().isEmpty();
}

std::vector<Contact> ContactRecords::rows() const
{
    std::vector<Contact> rows;
    read({}, false, -1, 0, [&rows](const Contact &c) { rows.push_back(c); });
    return rows;
}

bool ContactRecords::forEach(const std::function<void(const Contact &)> &visit) const
{
    return read({}, false, -1, 0, visit);
}

std::vector<Contact> ContactRecords::page(qint64 page, qint64 pageSize)
{
    std::vector<Contact> rows;
    if (page < 0 || pageSize <= 0 || !m_connection)
        return rows;
    const auto take = [&rows](const Contact &c) { rows.push_back(c); };
    const PagePlan plan = planNamePage(m_anchor, m_filter, page, pageSize);
    read(plan.key, plan.backwards, pageSize, plan.offset, take);
    if (rows.empty() && page > 0) {
        // Everything past the page shown went meanwhile: the last rows there are.
        read({}, true, pageSize, 0, take);
        std::reverse(rows.begin(), rows.end());
    } else if (plan.backwards) {
        std::reverse(rows.begin(), rows.end());
    }
    m_anchor = rows.empty() ? std::nullopt : anchorOf(page, m_filter, rows.front(), rows.back(), false);
    return rows;
}

std::vector<ContactNode> nodesOfContact(const Contact &c)
{
    std::vector<ContactNode> nodes;
    const QString root = nodeKey(QStringLiteral("pContacto"), c.sid);
    nodes.push_back({root, {}, c.name, 7});
    auto addPair = [&](const char *category, const char *value, const QString &title, const QString &text) {
        const QString categoryKey = nodeKey(QString::fromLatin1(category), c.sid);
        nodes.push_back({categoryKey, root, title, 2});
        nodes.push_back({nodeKey(QString::fromLatin1(value), c.sid), categoryKey, text, 2});
    };
    addPair("pTelefono", "Telefono", QStringLiteral("Teléfono móvil"), c.phone);
    if (!c.fullName.isEmpty())
        addPair("pNombre", "Nombre", QStringLiteral("Nombre completo"), c.fullName);
    if (!c.address.isEmpty())
        addPair("pDireccion", "Direccion", QStringLiteral("Dirección"), c.address);
    if (!c.phone2.isEmpty())
        addPair("pTelefono2", "Telefono2", QStringLiteral("Otro teléfono"), c.phone2);
    if (!c.comment.isEmpty())
        addPair("pComentarios", "Comentarios", QStringLiteral("Comentarios"), c.comment);
    if (!c.birthDate.isEmpty())
        addPair("pFechaNacimiento", "FechaNacimiento", QStringLiteral("Fecha nacimiento"), shownDate(c.birthDate));
    return nodes;
}

std::vector<ContactNode> pageNodes(const std::vector<Contact> &contactList)
{
    if (contactList.empty())
        return {{QString::fromLatin1(kEmptyKey), {}, QStringLiteral("Sin contactos"), 0}};
    std::vector<ContactNode> nodes;
    nodes.reserve(contactList.size() * 5);
    for (const Contact &c : contactList) {
        std::vector<ContactNode> own = nodesOfContact(c);
        nodes.insert(nodes.end(), own.begin(), own.end());
    }
    return nodes;
}

std::optional<Contact> readContact(db::Connection &connection, qint64 sid)
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

DeleteResult deleteContact(db::Connection &connection, qint64 sid)
{
    const db::Result r = connection.execute(QStringLiteral("DELETE FROM Agenda WHERE sid = ?"), {sid});
    if (!r.ok())
        return {DeleteResult::Status::DatabaseError, r.error};
    if (r.changes == 0)
        return {DeleteResult::Status::NotFound, {}};
    return {};
}

DeleteResult deleteWholeBook(db::Connection &connection)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {DeleteResult::Status::DatabaseError, QStringLiteral("no transaction")};
    for (const char *sql : {"DELETE FROM Grupos", "DELETE FROM Agenda"}) {
        const db::Result r = connection.execute(QString::fromLatin1(sql));
        if (!r.ok())
            return {DeleteResult::Status::DatabaseError, r.error};
    }
    const db::Result r = transaction.commit();
    if (!r.ok())
        return {DeleteResult::Status::DatabaseError, r.error};
    return {};
}

} // namespace contacts
