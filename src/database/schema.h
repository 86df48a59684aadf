#pragma once

#include "platform/db/connection.h"

// The nine tables of the client's database, as a new local file gets them.
namespace database {

// Creates every table and index of a new database (inside one transaction). Tables that already
// exist are left as they are.
db::Result createSchema(db::Connection &connection);

// True when the open file carries the client's tables (an empty or foreign SQLite file does not).
bool isClientDatabase(db::Connection &connection);

} // namespace database
