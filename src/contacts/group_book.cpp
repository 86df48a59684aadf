#include "contacts/group_book.h"

#include "contacts/group_list.h"
#include "platform/db/connection.h"
#include "platform/db/spanish_order.h"
#include "platform/db/id_list.h"

#include <QHash>

namespace contacts {

GroupList listGroups(db::Connection &connection)
{
    GroupList list;
    db::Result r;
    const std::vector<db::Row> groups =
        connection.select(QStringLiteral("SELECT sid, nombre FROM Grupos ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {}, &r);
    if (!r.ok()) {
        list.ok = false;
        list.error = r.error;
        return list;
    }
    // One pass over the lists instead of one scan of the contacts per group.
    QHash<qint64, qint64> counts;
    db::Statement listViews = connection.prepare(
        QStringLiteral("SELECT grupos_sid FROM Agenda WHERE grupos_sid IS NOT NULL AND grupos_sid <> ''"), &r);
    if (!listViews.isValid()) {
        list.ok = false;
        list.error = r.error;
        return list;
    }
    while (listViews.next()) {
        const QString text = listViews.text(0);
        QList<qint64> seen;
        for (const QStringView entry : QStringView(text).split(u',')) {
            // A contact counts once per group even if its list repeats the group.
            const std::optional<qint64> g = db::idOfEntry(entry);
            if (g && !seen.contains(*g)) {
                seen << *g;
                ++counts[*g];
            }
        }
    }
    if (!listViews.error().isEmpty()) {
        list.ok = false;
        list.error = listViews.error();
        return list;
    }
    for (const db::Row &row : groups) {
        Group g;
        g.sid = row.value(0).toLongLong();
        g.name = row.value(1).toString();
        g.memberCount = counts.value(g.sid);
        list.groups.push_back(g);
    }
    return list;
}

QString groupText(const Group &group)
{
    if (group.memberCount <= 0)
        return group.name;
    return group.name + QStringLiteral(" (") + QString::number(group.memberCount) + QStringLiteral(" contactos)");
}

FilterGroupList filterGroupList(const std::vector<Group> &groups, const QString &remembered)
{
    FilterGroupList list;
    if (groups.empty()) {
        list.names = {QStringLiteral("Ninguno")};
        list.selected = 0;
        return list;
    }
    list.enabled = true;
    for (const Group &g : groups) {
        list.names << g.name;
        if (list.selected < 0 && (remembered.isEmpty() || g.name == remembered))
            list.selected = int(list.names.size()) - 1;
    }
    return list;
}

bool groupExists(db::Connection &connection, const QString &name)
{
    // SQLite's NOCASE folds ASCII letters only; "Peña" and "PEÑA" are the same group to the user.
    // The group table is short, so the names are compared here with the database's own folding.
    const QString folded = db::foldCase(name);
    for (const db::Row &row : connection.select(QStringLiteral("SELECT nombre FROM Grupos"))) {
        if (db::foldCase(row.value(0).toString()) == folded)
            return true;
    }
    return false;
}

QString groupNameTakenMessage(const QString &name)
{
    return QStringLiteral("Ya existe un grupo con el nombre '") + name
        + QStringLiteral("'. Por favor, introduzca otro nombre para el grupo, o dejelo vacío para cancelar.");
}

QString deleteGroupPrompt(const QString &name)
{
    return QStringLiteral("El grupo '") + name
        + QStringLiteral("' contiene contactos y antes de borrar el grupo es necesario desvincular dichos contactos "
                         "y no tendrá marcha atrás. Escriba SI para confirmar la acción.");
}

CreateGroupResult createGroup(db::Connection &connection, const AskText &ask,
                               const std::function<void(const QString &)> &reportTaken)
{
    CreateGroupResult r;
    QString name;
    for (;;) {
        const std::optional<QString> answer =
            ask(QString::fromUtf8(kNewGroupPrompt), QString::fromUtf8(kCreateGroupTitle), QString());
        if (!answer || answer->isEmpty())
            return r;
        name = *answer;
        if (!groupExists(connection, name))
            break;
        r.takenNames.push_back(name);
        if (reportTaken)
            reportTaken(name);
    }
    const db::Result insert = connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?)"), {name});
    r.name = name;
    if (!insert.ok()) {
        r.status = CreateGroupResult::Status::DatabaseError;
        r.error = insert.error;
        return r;
    }
    r.status = CreateGroupResult::Status::Created;
    r.sid = connection.lastInsertRowId();
    return r;
}

DeleteGroupResult deleteGroup(db::Connection &connection, qint64 sid, const AskText &ask)
{
    DeleteGroupResult r;
    const QVariant name = connection.scalar(QStringLiteral("SELECT nombre FROM Grupos WHERE sid = ?"), {sid});
    if (!name.isValid())
        return r;
    r.name = name.toString();

    db::Result readBack;
    const std::vector<db::Row> members = connection.select(
        QStringLiteral("SELECT sid, grupos_sid FROM Agenda WHERE ") + memberConditionSql(), {QString::number(sid)},
        &readBack);
    if (!readBack.ok()) {
        r.status = DeleteGroupResult::Status::DatabaseError;
        r.error = readBack.error;
        return r;
    }
    if (!members.empty()) {
        const std::optional<QString> answer = ask(deleteGroupPrompt(r.name),
                                                           QString::fromUtf8(kConfirmGroupDeletionTitle),
                                                           QStringLiteral("SI"));
        if (!answer || answer->trimmed().compare(QLatin1String("si"), Qt::CaseInsensitive) != 0) {
            r.status = DeleteGroupResult::Status::Aborted;
            return r;
        }
    }

    // Every list and the group itself change together: a failure half-way leaves all as it was.
    db::Transaction transaction(connection);
    auto failure = [&r](const db::Result &res) {
        r.status = DeleteGroupResult::Status::DatabaseError;
        r.error = res.error;
        r.unlinkedContacts = 0;
        return r;
    };
    if (!transaction.isActive())
        return failure(transaction.beginResult());
    db::Result prepared;
    db::Statement update =
        connection.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), &prepared);
    if (!update.isValid())
        return failure(prepared);
    for (const db::Row &row : members) {
        update.bind(1, db::idListWithout(row.value(1).toString(), sid));
        update.bind(2, row.value(0).toLongLong());
        const db::Result res = update.run();
        if (!res.ok())
            return failure(res);
        update.reset();
        ++r.unlinkedContacts;
    }
    const db::Result deleted = connection.execute(QStringLiteral("DELETE FROM Grupos WHERE sid = ?"), {sid});
    if (!deleted.ok())
        return failure(deleted);
    const db::Result done = transaction.commit();
    if (!done.ok())
        return failure(done);
    r.status = DeleteGroupResult::Status::Deleted;
    return r;
}

} // namespace contacts
