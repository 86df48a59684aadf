#include "automation/birthdays/birthday_store.h"

#include "brand/brand.h"
#include "database/account_row.h"
#include "platform/text/decimal.h"

#include <QHash>

#include <algorithm>

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
        database::accountRowQuery(QStringLiteral("login, pass, ruta, saldo, huso_horario")));
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

namespace {

// The latest greeting recorded for each phone, of those that can still be for a coming birthday:
// the history's and the pending file's.
QHash<QString, QString> latestGreetings(db::Connection &connection, const QDate &today, const QString &phone,
                                        db::Result *result)
{
    QHash<QString, QString> latest;
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT destinatario, MAX(f_programada) FROM Historial WHERE bool_cumple = '1' "
                       "AND f_programada >= ?1 AND (?2 IS NULL OR destinatario = ?2) GROUP BY destinatario"),
        {greetedFrom(today), phone.isNull() ? QVariant() : QVariant(phone)}, result);
    for (const db::Row &row : rows)
        latest.insert(row.value(0).toString(), row.value(1).toString());
    if (connection.path().isEmpty())
        return latest;
    for (const recording::SendRecord &record : recording::readPendingRecords(recording::pendingSendsPath(connection.path()))) {
        if (!record.birthday || (!phone.isNull() && record.recipients != phone))
            continue;
        QString &known = latest[record.recipients];
        known = std::max(known, record.scheduledAt);
    }
    return latest;
}

} // namespace

QList<Contact> greetableContacts(db::Connection &connection, std::optional<qint64> group, const QDate &today,
                                      db::Result *result)
{
    const QString sql = kContactColumns
        + QStringLiteral("WHERE (?1 IS NULL OR en_lista(grupos_sid, ?1) = 1) "
                         "AND f_nacimiento IS NOT NULL AND f_nacimiento <> '' ORDER BY sid ASC");
    const QVariant groupValue = group ? QVariant(*group) : QVariant();
    const std::vector<db::Row> rows = connection.select(sql, {groupValue}, result);
    if (result && !result->ok())
        return {};
    const QHash<QString, QString> latest = latestGreetings(connection, today, QString(), result);
    QList<Contact> contacts;
    for (const db::Row &row : rows) {
        if (std::optional<Contact> c = contactFromRow(row)) {
            if (!greetedForNextBirthday(c->birthDate, today, latest.value(c->phone)))
                contacts.append(*c);
        }
    }
    sortByBirthday(contacts);
    return contacts;
}

bool hasPendingGreeting(db::Connection &connection, const Contact &contact, const QDate &today, db::Result *result)
{
    // The same test as the list's.
    const QHash<QString, QString> latest = latestGreetings(connection, today, contact.phone, result);
    return greetedForNextBirthday(contact.birthDate, today, latest.value(contact.phone));
}

std::optional<Contact> contactBySid(db::Connection &connection, qint64 sid, db::Result *result)
{
    const std::vector<db::Row> rows = connection.select(kContactColumns + QStringLiteral("WHERE sid = ?1"), {sid}, result);
    if (rows.empty())
        return std::nullopt;
    return contactFromRow(rows.front());
}

recording::RecordOutcome recordGreetings(db::Connection &connection, const QList<ScheduledGreeting> &greetings,
                                       const QString &login, const QString &message, const QString &sender,
                                       const QString &sentAt, int attempts)
{
    QList<recording::SendRecord> rows;
    for (const ScheduledGreeting &greeting : greetings) {
        recording::SendRecord row;
        row.username = login;
        row.recipients = greeting.phone;
        row.sentAt = sentAt;
        row.scheduledAt = greeting.scheduledAt;
        row.message = message;
        row.webId = greeting.webId ? QString::number(*greeting.webId) : QString(QLatin1String(""));
        row.sender = sender;
        row.credits = 1;
        row.birthday = true;
        rows.append(row);
    }
    return recording::recordCharged(connection, rows, attempts);
}

} // namespace automation::birthdays
