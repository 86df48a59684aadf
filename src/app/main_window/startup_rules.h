#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>

// The rules of the start-up that need no window: the sender list, the account row, the route of
// the start-up quote and the wording of the start-up figures.
namespace startup {

// The sender list as the sender combo shows it after start-up.
struct SenderList {
    QStringList items;
    int selected = -1;   // -1 only for an empty list
};

// Rows of `Remitentes` in insertion order; the last default row wins; an empty table gives the
// brand's default sender alone; with no default the first item is selected.
SenderList readSenders(db::Connection &connection, const QString &defaultSender);

// The account row of the start-up, when one with a non-empty login exists.
struct StartupAccount {
    qint64 sid = 0;
    QString route;
    QString balance;
    QString login;
    QString pass;
    QString desktopVersion;
};
std::optional<StartupAccount> readStartupAccount(db::Connection &connection);

// Login and password of the account row, for the delivery reports of the history tab.
std::optional<std::pair<QString, QString>> readCredentials(db::Connection &connection);

// The cost label at start-up: the price of one message on the route.
QString startupCostLabel(const QString &route);

} // namespace startup
