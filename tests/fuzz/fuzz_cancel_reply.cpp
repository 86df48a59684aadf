// The cancel reply (`cancelsms.php`) applied to a history holding the send asked about.
#include "fuzz_support.h"

#include "database/schema.h"
#include "history/cancellation.h"
#include "platform/db/connection.h"

#include <cstdlib>

namespace {

db::Connection *scratchDatabase()
{
    static db::Connection *connection = [] {
        auto *made = new db::Connection;
        const QString path = fuzz::scratchFile(QByteArray(), QStringLiteral("bbdd.mdb"));
        QFile::remove(path);
        if (!made->open(path, db::OpenMode::CreateIfMissing).ok() || !database::createSchema(*made).ok())
            std::abort();
        // A scratch database: waiting for the disk after every statement would only slow the runs.
        made->execute(QStringLiteral("PRAGMA synchronous=OFF"));
        made->execute(QStringLiteral("PRAGMA journal_mode=MEMORY"));
        return made;
    }();
    return connection;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    db::Connection &connection = *scratchDatabase();
    connection.execute(QStringLiteral("DELETE FROM Historial"));
    connection.execute(QStringLiteral("INSERT INTO Historial (destinatario, f_programada, id_web, estado) "
                                      "VALUES ('34600111222', '2030-01-01 10:00', '1001', '0|0|0')"));
    const history::CancelTarget target{connection.lastInsertRowId(), QStringLiteral("1001")};
    (void)history::recordCancelReply(connection, fuzz::textOf(data, size), target);
    return 0;
}
