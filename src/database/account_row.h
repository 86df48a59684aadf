#pragma once

#include <QString>

namespace database {

// The statement that reads `columns` ("login,pass") of the account: the first `Usuario` row, in key
// order, that holds a login. A row without one (a shared database path saved before any account
// was) is no account, so every window, the start-up and the defaults take the same credentials.
QString accountRowQuery(const QString &columns);

} // namespace database
