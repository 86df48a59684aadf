#pragma once

#include "sending/send_command.h"

#include <optional>

namespace db { class Connection; }

namespace sending {

// The account (database::accountRowQuery) as a send and the quotes read it when they start;
// nothing without one.
std::optional<AccountValues> readSendAccount(db::Connection &connection);

} // namespace sending
