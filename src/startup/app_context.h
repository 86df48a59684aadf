#pragma once

#include <QString>

class QNetworkAccessManager;

namespace db { class Connection; }
namespace ui { class Prompter; class Shell; class BusyCursor; }

// What every window of the client shares, owned by the application and handed down by reference:
// the one database connection, the prompts, the shell, the one busy pointer and the network.
namespace startup {

struct AppContext {
    db::Connection &connection;
    ui::Prompter &prompter;
    ui::Shell &shell;
    ui::BusyCursor &busy;
    QNetworkAccessManager &network;
    QString programFolder;
};

} // namespace startup
