#pragma once

#include "sending/send_command.h"

#include <optional>

namespace db { class Connection; }

namespace sending {

// The account row a send and the quotes read when they start (the first row, as the
// old client's recordset gave it); nothing without a row.
std::optional<AccountValues> readSendAccount(db::Connection &connection);

} // namespace sending
