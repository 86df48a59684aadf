#pragma once

#include "platform/db/connection.h"

#include <QString>

// The password prompt's rules: the typed password against the stored one, and which window the
// caller's code opens.
namespace account::password {

enum class Check { Correct, Wrong, Failed };

// Compares with the database's own text rules, the typed text bound as it was typed.
Check checkPassword(db::Connection &connection, const QString &typed);

enum class Target { None, SenderAdmin, WebDownload, WebUpload };

// "9" sender administration, "14" web contact download, "15" web contact upload; else nothing.
Target targetFor(const QString &code);

} // namespace account::password
