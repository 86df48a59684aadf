#pragma once

namespace db {
class Connection;
}

// Whether the database in use takes writes. The engine opens a file the user may only read
// without a word, and a folder that does not let it create its journal only shows at the first
// write: a send charged by the gateway would then be recorded nowhere. Start-up asks first.
namespace database {

enum class Writability {
    Writable,
    FileReadOnly,     // the database file itself may not be written
    FolderReadOnly,   // the file may, but nothing can be created beside it (journal, pending sends)
    DiskFull          // the disk refuses new bytes: there is no room left on it
};

// Writes nothing that stays: a file of its own in the folder, removed at once, and a change to
// the file inside a transaction that is rolled back (it makes the engine create its journal).
// When another workstation holds the file the engine's part is left out: the folder told.
Writability databaseWritability(db::Connection &connection);

} // namespace database
