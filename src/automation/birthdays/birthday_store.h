#pragma once

#include "automation/birthdays/birthday_rules.h"
#include "platform/db/connection.h"
#include "recording/record_charged.h"

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
// greeting for their next birthday (greetedForNextBirthday()), in birthday order. A greeting
// still waiting in the pending file beside the database counts as scheduled.
QList<Contact> greetableContacts(db::Connection &connection, std::optional<qint64> group, const QDate &today,
                                      db::Result *result = nullptr);
// Whether a greeting for the next birthday of this contact is already scheduled (the test
// greetableContacts leaves contacts out by).
bool hasPendingGreeting(db::Connection &connection, const Contact &contact, const QDate &today,
                           db::Result *result = nullptr);
// One contact by key, whatever its greetings; nothing when it is gone or has no readable birth date.
std::optional<Contact> contactBySid(db::Connection &connection, qint64 sid, db::Result *result = nullptr);

// One history row per scheduled greeting, all or none. A greeting the gateway accepted without a
// readable identifier is still charged: it is recorded with an empty `id_web`, which no report
// or cancellation ever names to the gateway.
struct ScheduledGreeting {
    QString phone;
    std::optional<qint64> webId;
    QString scheduledAt;
};
// Charged greetings are recorded by the code that records every charged row: all or none, tried
// again on a busy file, else kept in the pending file for the next start.
recording::RecordOutcome recordGreetings(db::Connection &connection, const QList<ScheduledGreeting> &greetings,
                                       const QString &login, const QString &message, const QString &sender,
                                       const QString &sentAt, int attempts = recording::kSaveAttempts);

} // namespace automation::birthdays
