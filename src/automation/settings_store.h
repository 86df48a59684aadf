#pragma once

#include "platform/db/connection.h"

#include <QString>

#include <optional>

// The one row of `Automatizado`: what to watch, how often, which separator, and whether automated
// sending is switched on.
namespace automation {

struct AutomationSettings {
    QString minutes;
    QString separator;
    QString file;
    QString active;
};

// The row (the first, should an old file hold more); nothing without one.
std::optional<AutomationSettings> readSettings(db::Connection &connection);

// Replaces the row with a new one, stopped (`active` "0"). All or nothing: when the new row cannot
// be written the old one stays.
db::Result writeSettings(db::Connection &connection, const QString &minutes, const QString &separator,
                          const QString &file);

db::Result markActive(db::Connection &connection, bool active);

} // namespace automation
