#include "contacts/contact_editor_rules.h"

#include "contacts/birth_date.h"
#include "platform/db/connection.h"

namespace contacts {

namespace {

SaveResult notice(SaveResult::Status status, const char *message, const char *title)
{
    SaveResult r;
    r.status = status;
    r.message = QString::fromUtf8(message);
    r.title = QString::fromUtf8(title);
    return r;
}

} // namespace

SaveResult saveContact(db::Connection &connection, const ContactFields &d, std::optional<qint64> existingSid)
{
    using Status = SaveResult::Status;
    if (d.name.isEmpty() || d.phone.isEmpty())
        return notice(Status::MissingFields, kMissingFieldsMessage, kMissingFieldsTitle);

    std::optional<QString> date;
    if (!d.birthDate.isEmpty()) {
        if (!isValidDateFormat(d.birthDate))
            return notice(Status::BadDateFormat, kBadDateMessage, kBadDateTitle);
        const std::optional<QDate> day = dateFromText(d.birthDate);
        if (!day)
            return notice(Status::NoSuchDate, kNoSuchDateMessage, kBadDateTitle);
        date = storedDate(*day);
    }

    // Empty boxes are stored as empty texts, never as Null.
    auto text = [](const QString &s) { return s.isNull() ? QStringLiteral("") : s; };
    QVariantList values = {text(d.name),    text(d.phone),   text(d.fullName),
                            text(d.address), text(d.phone2), text(d.comment)};
    QString sql;
    if (!existingSid) {
        sql = date ? QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2, "
                                     "comentario,f_nacimiento) VALUES (?,?,?,?,?,?,?)")
                    : QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2, "
                                     "comentario) VALUES (?,?,?,?,?,?)");
    } else {
        // An emptied date box leaves the stored date as it was.
        sql = QStringLiteral("UPDATE Agenda SET nombre=?, telefono=?, nombre_completo=?, direccion=?, "
                             "telefono_2=?, comentario=?")
            + (date ? QStringLiteral(", f_nacimiento=?") : QString()) + QStringLiteral(" WHERE sid=?");
    }
    if (date)
        values << *date;
    if (existingSid)
        values << *existingSid;

    const db::Result r = connection.execute(sql, values);
    if (!r.ok()) {
        SaveResult failure = notice(Status::DatabaseError, kSaveErrorMessage, kErrorTitle);
        failure.error = r.error;
        return failure;
    }
    if (existingSid) {
        if (r.changes == 0)
            return notice(Status::ContactGone, kContactGoneWhileEditingMessage, kUpdateContactTitle);
        SaveResult ok = notice(Status::Updated, kContactUpdatedMessage, kUpdateContactTitle);
        ok.sid = *existingSid;
        return ok;
    }
    SaveResult ok = notice(Status::Created, kContactSavedMessage, kContactAddedTitle);
    ok.sid = connection.lastInsertRowId();
    return ok;
}

ContactFields editorFields(const QString &name, const QString &phone, const QString &fullName,
                              const QString &address, const QString &phone2, const QString &comment,
                              const QString &storedBirthDate)
{
    return {name, phone, fullName, address, phone2, comment,
            storedBirthDate.isEmpty() ? QString() : shownDate(storedBirthDate)};
}

} // namespace contacts
