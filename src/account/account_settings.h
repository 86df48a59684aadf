#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>

// The account row and the settings kept beside it, read and written for the account settings
// window. Every value is bound; several-row changes run in one transaction.
namespace account {

// The 34 time zones the account row may hold, "GMT -12:00" ... "GMT +13:00".
const QStringList &timeZones();
inline constexpr int kDefaultZoneIndex = 15;   // "GMT +01:00"

inline constexpr auto kAsk = "Preguntar";
inline constexpr auto kDontAsk = "No preguntar";

struct AccountRow {
    QString login;
    QString pass;
    QString route;
    QString timeZone;
    QString unknownNumberDefault;
};

// The account of the database in use (database::accountRowQuery), or nothing when there is none.
std::optional<AccountRow> loadAccount(db::Connection &connection, db::Result *result = nullptr);

// The local database file of the program folder.
QString localDatabasePath(const QString &programFolder);

// `ruta_bbdd` as kept in the local file (the shared path is always a setting of this computer).
// Nothing when the local file has no account row or cannot be read.
std::optional<QString> readSharedPath(db::Connection &connection, const QString &programFolder);

// Stores the shared path in the local file. A local file without its row gets one holding only
// the path, so a path typed before the first account is saved is not lost.
db::Result saveSharedPath(db::Connection &connection, const QString &programFolder, const QString &path);

// What the gateway accepted, as it was when the check left.
struct VerifiedAccount {
    QString login;
    QString pass;
    QString route;              // "1" Económica, "3" Premium
    QString balance;
    QString timeZone;
    bool defaultTicked = false;
    QString unknownNumberDefault;    // the chosen answer, used when the default is ticked
};

// Writes the account row: an insert on an empty table, else an update of every row.
db::Result storeVerifiedAccount(db::Connection &connection, const VerifiedAccount &account);

// The zone to store: the selected one; without a selection the stored one, else the default.
QString zoneToStore(const QString &selected, const QString &stored);

// The cost of one message on a route, as the cost label shows it after a save.
QString costLabel(const QString &route);

struct SenderRow {
    QString sender;
    bool isDefault = false;
};
// `Remitentes` in the table's own order.
QList<SenderRow> loadSenderRows(db::Connection &connection, db::Result *result = nullptr);

// Makes one identifier the only default.
db::Result setDefaultSender(db::Connection &connection, const QString &sender);

} // namespace account
