#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

// "Crear grupo" from a send's recipients: a new group, joined by every contact whose number is one
// of the send's (whole numbers compared; numbers not in the contact book join nothing).
namespace history {

// A group with that name exists already (names compare without case, as the group tab's do).
bool groupNameTaken(db::Connection &connection, const QString &name);

struct CreatedGroup {
    enum class Status { Created, DatabaseError };
    Status status = Status::DatabaseError;
    qint64 sid = 0;
    qint64 members = 0;        // contacts that joined
    QString error;
    bool ok() const { return status == Status::Created; }
};

// Inserts the group and adds its sid to the `lista_grupos` of each contact with one of the
// numbers: ",sid" appended to a list, the sid alone for a contact in no group. All or nothing: a
// failure leaves neither the group nor a changed contact behind.
CreatedGroup createGroupFromPhones(db::Connection &connection, const QString &name, const QStringList &phones);

} // namespace history
