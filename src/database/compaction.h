#pragma once

#include "platform/db/connection.h"

#include <QString>

// The compaction run at every start, on the file the connection has open.
namespace database {

enum class CompactionStatus {
    Compacted,       // the file was rewritten in place
    LeftoverKept,    // an earlier "_copia.mdb" was kept as "_copia2.mdb"; this start does not compact
    Skipped,         // the path has no ".mdb" to form the copy names from
    Failed           // the file is in use elsewhere or a copy could not be moved; nothing lost
};

struct CompactionResult {
    CompactionStatus status = CompactionStatus::Skipped;
    QString error;
    bool compacted() const { return status == CompactionStatus::Compacted; }
};

// The copy names beside the database: every ".mdb" replaced (case-sensitive); empty when the
// path holds no ".mdb".
QString compactionCopyPath(const QString &path);
QString keptCopyPath(const QString &path);

// Compacts the open database in place (VACUUM: atomic, and refused while another workstation
// holds a lock), so the database file itself is never deleted or renamed. A leftover
// "_copia.mdb" from an older compaction is rotated to "_copia2.mdb" and the start goes on
// uncompacted.
CompactionResult compactDatabase(db::Connection &connection);

} // namespace database
