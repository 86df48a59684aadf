#include "contacts/picker/picker_list.h"

#include <algorithm>

namespace contacts::picker {

namespace {

constexpr int kContactImage = 1;
constexpr int kGroupImage = 3;

QString where(const std::optional<Condition> &condition)
{
    return condition && !condition->isEmpty() ? QStringLiteral(" WHERE ") + condition->sql : QString();
}

QVariantList values(const std::optional<Condition> &condition)
{
    return condition ? condition->values : QVariantList{};
}

} // namespace

PickerCondition pickerCondition(db::Connection &connection, const PickerFilter &filter)
{
    const FieldClause field = fieldClause(filter.fieldIndex, filter.operatorIndex, filter.words);
    if (!field.condition)
        return {std::nullopt, field.error};
    Condition condition = *field.condition;
    if (filter.byGroup) {
        db::Result r;
        const QVariant sid = connection.scalar(
            QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {filter.group}, &r);
        if (!r.ok())
            return {std::nullopt, QStringLiteral("No se pudo leer la lista de grupos de la base de datos.")};
        if (sid.isValid())
            condition = condition && memberCondition(sid.toLongLong());
    }
    return {condition, {}};
}

PickerPage pickerPage(db::Connection &connection, const std::optional<Condition> &condition,
                              qint64 position, const std::optional<PageAnchor> &shown)
{
    PickerPage p;
    auto failure = [&p](const db::Result &r) {
        p.ok = false;
        p.error = r.error;
        return p;
    };

    db::Result r;
    p.contactCount = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda") + where(condition),
                                  values(condition), &r)
                      .toLongLong();
    if (!r.ok())
        return failure(r);
    if (!condition) {
        p.groupCount = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos"), {}, &r).toLongLong();
        if (!r.ok())
            return failure(r);
    }

    p.pageBar = paginate(p.groupCount + p.contactCount, position, kPickerPageSize, QStringLiteral("Página 1 de 1"));
    const qint64 start = p.pageBar.page * kPickerPageSize;
    qint64 placed = 0;

    if (p.groupCount > start) {
        const std::vector<db::Row> groups =
            connection.select(QStringLiteral("SELECT sid, nombre FROM Grupos ORDER BY sid LIMIT ? OFFSET ?"),
                            {kPickerPageSize, start}, &r);
        if (!r.ok())
            return failure(r);
        db::Statement countQuery = connection.prepare(
            QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + memberSql(), &r);
        if (!r.ok())
            return failure(r);
        for (const db::Row &g : groups) {
            countQuery.reset();
            countQuery.bind(1, g.value(0).toString());
            const qint64 members = countQuery.next() ? countQuery.value(0).toLongLong() : 0;
            p.nodes.push_back({QStringLiteral("pGrupo ") + g.value(0).toString(), {},
                               g.value(1).toString() + QStringLiteral(" (") + QString::number(members)
                                   + QStringLiteral(" contactos)"),
                               kGroupImage});
            ++placed;
        }
    }

    if (placed < kPickerPageSize && p.contactCount > 0) {
        const Condition scope = condition ? *condition : Condition{};
        // A page of contacts alone after one of contacts alone follows on from its keys; a page
        // that holds groups too is counted from the top, groups first.
        PagePlan plan;
        plan.offset = qMax<qint64>(0, start - p.groupCount);
        if (placed == 0 && shown)
            plan = planNamePage(shown, scope, p.pageBar.page, kPickerPageSize);
        std::vector<Contact> contacts;
        const auto read = [&](const PagePlan &how) {
            const Condition c = scope && how.key;
            const std::vector<db::Row> rows = connection.select(
                QStringLiteral("SELECT ") + QLatin1String(kContactColumns) + QStringLiteral(" FROM Agenda")
                    + (c.isBlank() ? QString() : QStringLiteral(" WHERE ") + c.sql) + nameOrder(how.backwards)
                    + QStringLiteral(" LIMIT ? OFFSET ?"),
                c.values + QVariantList{kPickerPageSize - placed, how.offset}, &r);
            for (const db::Row &row : rows)
                contacts.push_back(contactFromRow(row));
            if (how.backwards)
                std::reverse(contacts.begin(), contacts.end());
        };
        read(plan);
        if (r.ok() && contacts.empty() && !plan.key.isEmpty()) {
            PagePlan fromTop;
            fromTop.offset = qMax<qint64>(0, start - p.groupCount);
            read(fromTop);
        }
        if (!r.ok())
            return failure(r);
        for (const Contact &c : contacts)
            appendContactNodes(c, kContactImage, kContactImage, p.nodes);
        if (placed == 0 && !contacts.empty())
            p.anchor = anchorOf(p.pageBar.page, scope, contacts.front(), contacts.back(), false);
    }

    if (p.contactCount == 0)
        p.nodes.push_back({QLatin1String(kEmptyKey), {}, QStringLiteral("Sin contactos"), 0});
    return p;
}

QStringList groupNames(db::Connection &connection, db::Result *result)
{
    QStringList names;
    for (const db::Row &row :
         connection.select(QStringLiteral("SELECT nombre FROM Grupos ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {}, result))
        names << row.value(0).toString();
    return names;
}

} // namespace contacts::picker
