#pragma once

#include "platform/db/connection.h"

#include <QString>

// The account defaults start-up writes to the file in use once an account exists.
namespace database {

enum class DefaultsStatus { Written, NoAccount, Failed };

struct DefaultsResult {
    DefaultsStatus status = DefaultsStatus::NoAccount;
    qint64 sid = 0;          // the account row
    QString route;            // the route the start-up quote uses: "1" or "3" (a stored "0" reads "3")
    QString error;
};

// Default time zone, database path (the local file) and route of the account row whose login is
// not empty, in one transaction.
DefaultsResult writeStartupDefaults(db::Connection &connection, const QString &programFolder);

} // namespace database
