#include "automation/birthdays/birthday_store.h"

#include "platform/text/decimal.h"
#include "startup/brand.h"

namespace automation::birthdays {
namespace {

const QString kContactColumns =
    QStringLiteral("SELECT sid, nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento FROM Agenda ");

// Rows with a birth date that cannot be read are left out, as if they had none.
std::optional<Contact> contactFromRow(const db::Row &row)
{
    const std::optional<QDate> birthDate = parseBirthDate(row.value(7).toString());
    if (!birthDate)
        return std::nullopt;
    Contact c;
    c.sid = row.value(0).toLongLong();
    c.name = row.value(1).toString();
    c.phone = row.value(2).toString();
    c.fullName = row.value(3).toString();
    c.address = row.value(4).toString();
    c.otherPhone = row.value(5).toString();
    c.comment = row.value(6).toString();
    c.birthDate = *birthDate;
    return c;
}

} // namespace

QList<GroupEntry> readGroups(db::Connection &connection)
{
    QList<GroupEntry> groups;
    const qint64 total = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda")).toLongLong();
    groups.append({QStringLiteral("TODOS (%1)").arg(total), std::nullopt});
    const std::vector<db::Row> rows =
        connection.select(QStringLiteral("SELECT sid, nombre FROM Grupos ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"));
    for (const db::Row &row : rows) {
        const qint64 sid = row.value(0).toLongLong();
        const qint64 members = connection
                                    .scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE en_lista(grupos_sid, ?1) = 1"),
                                            {sid})
                                    .toLongLong();
        groups.append({QStringLiteral("Grupo: %1 (%2)").arg(row.value(1).toString()).arg(members), sid});
    }
    return groups;
}

QStringList readSenders(db::Connection &connection)
{
    QStringList senders;
    // The default sender is stored as 1 here: descending order puts it first.
    for (const db::Row &row :
         connection.select(QStringLiteral("SELECT remitente FROM Remitentes ORDER BY defecto DESC, remitente ASC")))
        senders.append(row.value(0).toString());
    if (senders.isEmpty())
        senders.append(brand::defaultSender());
    return senders;
}

QStringList readTemplates(db::Connection &connection)
{
    QStringList names;
    for (const db::Row &row : connection.select(QStringLiteral("SELECT nombre FROM Plantillas ORDER BY nombre COLLATE ESPANOL ASC, sid ASC")))
        names.append(row.value(0).toString());
    if (names.isEmpty())
        names.append(kNoTemplate);
    return names;
}

std::optional<QString> templateText(db::Connection &connection, const QString &name)
{
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT mensaje FROM Plantillas WHERE nombre = ?1 COLLATE ESPANOL ORDER BY sid LIMIT 1"), {name});
    if (rows.empty())
        return std::nullopt;
    return rows.front().value(0).toString();
}

std::optional<Account> readAccount(db::Connection &connection)
{
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT login, pass, ruta, saldo, huso_horario FROM Usuario ORDER BY sid LIMIT 1"));
    if (rows.empty())
        return std::nullopt;
    const db::Row &row = rows.front();
    Account account;
    account.login = row.value(0).toString();
    account.pass = row.value(1).toString();
    account.route = row.value(2).toString();
    account.balance = text::parseDecimal(row.value(3).toString()).value_or(0.0);
    account.timeZone = row.value(4).toString();
    return account;
}

QList<Contact> greetableContacts(db::Connection &connection, std::optional<qint64> group, const QDate &today,
                                      const QString &timeZone, db::Result *result)
{
    const QString sql = kContactColumns
        + QStringLiteral("WHERE (?1 IS NULL OR en_lista(grupos_sid, ?1) = 1) "
                         "AND f_nacimiento IS NOT NULL AND f_nacimiento <> '' "
                         "AND NOT EXISTS (SELECT 1 FROM Historial WHERE Historial.bool_cumple = '1' "
                         "AND Historial.f_programada >= ?2 AND Historial.destinatario = Agenda.telefono) "
                         "ORDER BY sid ASC");
    const QVariant groupValue = group ? QVariant(*group) : QVariant();
    const std::vector<db::Row> rows = connection.select(sql, {groupValue, pendingThreshold(today, timeZone)}, result);
    QList<Contact> contacts;
    for (const db::Row &row : rows) {
        if (std::optional<Contact> c = contactFromRow(row))
            contacts.append(*c);
    }
    sortByBirthday(contacts);
    return contacts;
}

bool hasPendingGreeting(db::Connection &connection, const QString &phone, const QDate &today,
                           const QString &timeZone, db::Result *result)
{
    // The same test as the list's.
    return connection
               .scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM Historial WHERE Historial.bool_cumple = '1' "
                                      "AND Historial.f_programada >= ?2 AND Historial.destinatario = ?1)"),
                       {phone, pendingThreshold(today, timeZone)}, result)
               .toInt()
        != 0;
}

std::optional<Contact> contactBySid(db::Connection &connection, qint64 sid, db::Result *result)
{
    const std::vector<db::Row> rows = connection.select(kContactColumns + QStringLiteral("WHERE sid = ?1"), {sid}, result);
    if (rows.empty())
        return std::nullopt;
    return contactFromRow(rows.front());
}

db::Result recordGreetings(db::Connection &connection, const QList<ScheduledGreeting> &greetings,
                                   const QString &login, const QString &message, const QString &sender,
                                   const QString &sentAt)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {db::Status::Error, QStringLiteral("cannot begin a transaction")};
    db::Result r;
    db::Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Historial (username, destinatario, f_envio, mensaje, id_web, f_programada, estado, "
                       "bool_cumple, remitente, creditos) VALUES (?1, ?2, ?3, ?4, ?5, ?6, '0|0|0', '1', ?7, 1)"),
        &r);
    if (!r.ok())
        return r;
    for (const ScheduledGreeting &greeting : greetings) {
        insert.reset();
        insert.bindAll({login, greeting.phone, sentAt, message, QString::number(greeting.webId), greeting.scheduledAt,
                        sender});
        r = insert.run();
        if (!r.ok())
            return r;
    }
    return transaction.commit();
}

} // namespace automation::birthdays
