#include "contacts/groups/group_admin.h"

#include "platform/db/id_list.h"

#include <algorithm>

namespace contacts::groups {

namespace {

constexpr int kContactImage = 1;
constexpr int kMemberImage = 2;
constexpr int kDetailImage = 3;
const QString kEmptyPageLabel = QStringLiteral("Página 0 de 0");
// This window has always written the category without the accent.
const QString kMobileTitle = QStringLiteral("Telefono móvil");

ListPage failure(const db::Result &r)
{
    ListPage p;
    p.ok = false;
    p.error = r.error;
    return p;
}

ChangeResult error(const db::Result &r)
{
    return {ChangeOutcome::Error, 0, r.error};
}

QString pickedContacts()
{
    return QStringLiteral("SELECT ") + QLatin1String(picker::kContactColumns) + QStringLiteral(" FROM Agenda WHERE ");
}

void withoutContacts(ListPage &p)
{
    if (p.nodes.empty())
        p.nodes.push_back({QLatin1String(kEmptyKey), {}, QStringLiteral("Sin contactos"), 0});
}

bool groupStillExists(db::Connection &connection, qint64 group, db::Result &r)
{
    return connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE sid = ?"), {group}, &r).toLongLong() > 0;
}

// Reads the contact's list, lets `edit` compute the new one and writes it, all in one
// transaction so another workstation's change in between is not lost.
template <typename Edit>
ChangeResult changeList(db::Connection &connection, qint64 group, qint64 contact, bool requireGroup,
                             Edit edit)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {ChangeOutcome::Error, 0, QStringLiteral("transaction")};
    db::Result r;
    if (requireGroup) {
        const bool exists = groupStillExists(connection, group, r);
        if (!r.ok())
            return error(r);
        if (!exists)
            return {ChangeOutcome::GroupGone, 0, {}};
    }
    const std::vector<db::Row> rows =
        connection.select(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE sid = ?"), {contact}, &r);
    if (!r.ok())
        return error(r);
    if (rows.empty())
        return {ChangeOutcome::ContactGone, 0, {}};
    const QString before = rows.front().value(0).toString();
    const QString after = edit(before);
    if (after == before)
        return {ChangeOutcome::Unchanged, 0, {}};
    r = connection.execute(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), {after, contact});
    if (!r.ok())
        return error(r);
    r = transaction.commit();
    if (!r.ok())
        return error(r);
    return {ChangeOutcome::Done, 1, {}};
}

} // namespace

AdminCondition contactListCondition(db::Connection &connection, qint64 group, const AdminFilter &filter)
{
    const picker::FieldClause field = picker::fieldClause(filter.fieldIndex, filter.operatorIndex, filter.words);
    if (!field.condition)
        return {std::nullopt, field.error};
    Condition where = *field.condition;
    if (filter.byGroup) {
        db::Result r;
        const QVariant another = connection.scalar(
            QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {filter.group}, &r);
        if (!r.ok())
            return {std::nullopt, QStringLiteral("No se pudo leer la lista de grupos de la base de datos.")};
        if (!another.isValid()) {
            return {std::nullopt, QStringLiteral("El grupo \"") + filter.group
                                      + QStringLiteral("\" ya no existe. Elija otro grupo para filtrar.")};
        }
        where = where && picker::memberCondition(another.toLongLong());
    }
    if (filter.notIncludedOnly)
        where = where && picker::nonMemberCondition(group);
    return {where, {}};
}

namespace {

// Page `position` of the contacts `where` selects, in `order`, read on from the page shown before.
bool readKeyedPage(db::Connection &connection, const Condition &where, qint64 position, qint64 pageSize,
                   const std::optional<PageAnchor> &shown, bool byName, std::vector<Contact> &rows, db::Result &r)
{
    const PagePlan plan = byName ? planNamePage(shown, where, position, pageSize)
                                 : planSidPage(shown, where, position, pageSize);
    const auto read = [&](const Condition &key, bool backwards, qint64 offset) {
        const Condition c = where && key;
        const QString order = byName ? nameOrder(backwards)
                                     : (backwards ? QStringLiteral(" ORDER BY sid DESC") : QStringLiteral(" ORDER BY sid ASC"));
        const std::vector<db::Row> found = connection.select(
            pickedContacts() + c.sql + order + QStringLiteral(" LIMIT ? OFFSET ?"), c.values + QVariantList{pageSize, offset}, &r);
        for (const db::Row &row : found)
            rows.push_back(picker::contactFromRow(row));
        if (backwards)
            std::reverse(rows.begin(), rows.end());
    };
    read(plan.key, plan.backwards, plan.offset);
    if (r.ok() && rows.empty() && position > 0)
        read({}, true, 0);    // everything past the page shown went meanwhile: the last rows there are
    return r.ok();
}

} // namespace

ListPage contactPage(db::Connection &connection, qint64 group, const Condition &where, qint64 position,
                     const std::optional<PageAnchor> &shown)
{
    ListPage p;
    db::Result r;
    p.rows = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + where.sql, where.values, &r)
                  .toLongLong();
    if (!r.ok())
        return failure(r);
    p.pageBar = picker::paginate(p.rows, position, kContactPageSize, kEmptyPageLabel);
    if (p.rows > 0) {
        std::vector<Contact> rows;
        if (!readKeyedPage(connection, where, p.pageBar.page, kContactPageSize, shown, true, rows, r))
            return failure(r);
        for (const Contact &c : rows)
            picker::appendContactNodes(c, db::idListHas(c.groupSids, group) ? kMemberImage : kContactImage,
                          kDetailImage, p.nodes, kMobileTitle);
        if (!rows.empty())
            p.anchor = anchorOf(p.pageBar.page, where, rows.front(), rows.back(), false);
    }
    withoutContacts(p);
    return p;
}

ListPage memberPage(db::Connection &connection, qint64 group, qint64 position, const std::optional<PageAnchor> &shown)
{
    ListPage p;
    db::Result r;
    const Condition member{picker::memberSql(), {QString::number(group)}};
    p.rows = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + member.sql, member.values, &r)
                 .toLongLong();
    if (!r.ok())
        return failure(r);
    p.pageBar = picker::paginate(p.rows, position, kMemberPageSize, kEmptyPageLabel);
    if (p.rows > 0) {
        std::vector<Contact> rows;
        if (!readKeyedPage(connection, member, p.pageBar.page, kMemberPageSize, shown, false, rows, r))
            return failure(r);
        for (const Contact &c : rows)
            picker::appendContactNodes(c, kContactImage, kDetailImage, p.nodes, kMobileTitle);
        if (!rows.empty())
            p.anchor = anchorOf(p.pageBar.page, member, rows.front(), rows.back(), false);
    }
    withoutContacts(p);
    return p;
}

QStringList otherGroups(db::Connection &connection, qint64 group, db::Result *result)
{
    QStringList names;
    for (const db::Row &row : connection.select(
             QStringLiteral("SELECT nombre FROM Grupos WHERE sid <> ? ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {group},
             result))
        names << row.value(0).toString();
    return names;
}

std::optional<bool> contactInGroup(db::Connection &connection, qint64 group, qint64 contact)
{
    db::Result r;
    const std::vector<db::Row> rows =
        connection.select(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE sid = ?"), {contact}, &r);
    if (!r.ok() || rows.empty())
        return std::nullopt;
    return db::idListHas(rows.front().value(0).toString(), group);
}

ChangeResult addContact(db::Connection &connection, qint64 group, qint64 contact)
{
    return changeList(connection, group, contact, true,
                        [group](const QString &list) { return db::idListWith(list, group); });
}

ChangeResult removeContact(db::Connection &connection, qint64 group, qint64 contact)
{
    return changeList(connection, group, contact, false, [group](const QString &list) {
        const QString rest = db::idListWithout(list, group);
        // A list that never held the group is left exactly as it was.
        return db::idListHas(list, group) ? rest : list;
    });
}

ChangeResult addWholeList(db::Connection &connection, qint64 group, const Condition &where)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {ChangeOutcome::Error, 0, QStringLiteral("transaction")};
    db::Result r;
    const bool exists = groupStillExists(connection, group, r);
    if (!r.ok())
        return error(r);
    if (!exists)
        return {ChangeOutcome::GroupGone, 0, {}};

    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT sid, grupos_sid FROM Agenda WHERE ") + where.sql, where.values, &r);
    if (!r.ok())
        return error(r);
    db::Statement update = connection.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), &r);
    if (!r.ok())
        return error(r);
    qint64 changed = 0;
    for (const db::Row &row : rows) {
        const QString list = row.value(1).toString();
        if (db::idListHas(list, group))
            continue;
        update.reset();
        update.bindAll({db::idListWith(list, group), row.value(0)});
        r = update.run();
        if (!r.ok())
            return error(r);
        ++changed;
    }
    if (changed == 0)
        return {ChangeOutcome::Unchanged, 0, {}};
    r = transaction.commit();
    if (!r.ok())
        return error(r);
    return {ChangeOutcome::Done, changed, {}};
}

} // namespace contacts::groups
