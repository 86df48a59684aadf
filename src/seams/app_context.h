#pragma once

#include <QString>

namespace db { class Connection; }
namespace ui { class Prompter; class Shell; class BusyCursor; }

// What every window of the client shares, owned by the application and handed down by reference:
// the one database connection, the prompts, the shell and the one busy pointer. Gateway exchanges
// make their own connections (net::HttpExchange).
namespace seams {

struct AppContext {
    db::Connection &connection;
    ui::Prompter &prompter;
    ui::Shell &shell;
    ui::BusyCursor &busy;
    QString programFolder;
};

} // namespace seams
