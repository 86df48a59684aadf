#include "history/recipient_group.h"

#include "platform/db/id_list.h"

#include <QSet>

namespace history {

bool groupNameTaken(db::Connection &connection, const QString &name)
{
    return connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE nombre = ?1 COLLATE ESPANOL"), {name})
               .toLongLong()
        > 0;
}

CreatedGroup createGroupFromPhones(db::Connection &connection, const QString &name, const QStringList &phones)
{
    CreatedGroup created;
    db::Transaction transaction(connection);
    if (!transaction.isActive()) {
        created.error = transaction.beginResult().error;
        return created;
    }
    db::Result r = connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?1)"), {name});
    if (!r.ok()) {
        created.error = r.error;
        return created;
    }
    created.sid = connection.lastInsertRowId();

    // The contacts are matched here rather than in SQL: a set lookup per contact stays fast for
    // lists of hundreds of thousands of characters, and a number never matches part of another.
    const QSet<QString> wanted(phones.cbegin(), phones.cend());
    const std::vector<db::Row> contacts =
        connection.select(QStringLiteral("SELECT sid, telefono, grupos_sid FROM Agenda"), {}, &r);
    if (!r.ok()) {
        created.error = r.error;
        return created;
    }
    db::Statement update = connection.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid = ?1 WHERE sid = ?2"), &r);
    if (!r.ok()) {
        created.error = r.error;
        return created;
    }
    for (const db::Row &contact : contacts) {
        const QString phone = contact.value(1).toString().trimmed();
        if (phone.isEmpty() || !wanted.contains(phone))
            continue;
        const QString groups = contact.value(2).isValid() ? contact.value(2).toString() : QString();
        update.reset();
        update.bindAll({db::idListWith(groups, created.sid), contact.value(0)});
        r = update.run();
        if (!r.ok()) {
            created.error = r.error;
            return created;
        }
        ++created.members;
    }
    r = transaction.commit();
    if (!r.ok()) {
        created.error = r.error;
        return created;
    }
    created.status = CreatedGroup::Status::Created;
    return created;
}

} // namespace history
