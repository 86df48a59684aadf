#pragma once

#include "automation/birthdays/birthday_rules.h"
#include "platform/db/connection.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the birthday window reads from and writes to the database. Every value is bound.
namespace automation::birthdays {

// An entry of the group list: "TODOS (n)" (no group) or "Grupo: name (n)".
struct GroupEntry {
    QString text;
    std::optional<qint64> sid;
};

QList<GroupEntry> readGroups(db::Connection &connection);

// The senders, the default one first, then by name; the brand sender when there is none.
QStringList readSenders(db::Connection &connection);

inline const QString kNoTemplate = QStringLiteral("Ninguna");
// The template names in name order; only "Ninguna" when there is none.
QStringList readTemplates(db::Connection &connection);
// The text of the named template; nothing when there is no such template.
std::optional<QString> templateText(db::Connection &connection, const QString &name);

// The account row, or nothing when no account is configured.
std::optional<Account> readAccount(db::Connection &connection);

// The contacts of the group (all contacts without one) that have a readable birth date and no
// greeting for their coming birthday (`pendingThreshold` in the account's zone),
// in birthday order.
QList<Contact> greetableContacts(db::Connection &connection, std::optional<qint64> group, const QDate &today,
                                      const QString &timeZone, db::Result *result = nullptr);
// Whether a greeting for the coming birthday of the contact with that phone is already recorded
// (the test greetableContacts leaves contacts out by).
bool hasPendingGreeting(db::Connection &connection, const QString &phone, const QDate &today,
                           const QString &timeZone, db::Result *result = nullptr);
// One contact by key, whatever its greetings; nothing when it is gone or has no readable birth date.
std::optional<Contact> contactBySid(db::Connection &connection, qint64 sid, db::Result *result = nullptr);

// One history row per scheduled greeting, all or none.
struct ScheduledGreeting {
    QString phone;
    qint64 webId = 0;
    QString scheduledAt;
};
db::Result recordGreetings(db::Connection &connection, const QList<ScheduledGreeting> &greetings,
                                   const QString &login, const QString &message, const QString &sender,
                                   const QString &sentAt);

} // namespace automation::birthdays
