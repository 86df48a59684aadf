// Start-up cost of a large database and the price of the wrapper over the raw engine.
#include "bench_data.h"
#include "database/opening.h"
#include "database/schema.h"
#include "platform/db/connection.h"
#include "platform/ui/prompter.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using bench::kRows;
using bench::phone;
using bench::SilentPrompter;

const QString &templateDatabase()
{
    static QTemporaryDir dir;
    static const QString path = bench::seedLargeDatabase(dir.filePath(QStringLiteral("plantilla.mdb")));
    return path;
}

void BM_OpenCompactUpgrade(benchmark::State &state)
{
    const QString source = templateDatabase();
    SilentPrompter prompter;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir home;
        QFile::copy(source, database::localDatabasePath(home.path()));
        db::Connection db;
        state.ResumeTiming();
        const database::OpeningResult r = database::openDatabase(db, home.path(), prompter);
        benchmark::DoNotOptimize(r.status);
        state.PauseTiming();
        if (!r.ok() || !r.compaction.compacted())
            state.SkipWithError("opening failed");
        db.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenCompactUpgrade)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InsertWrapper(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        db::Connection db;
        db.open(dir.filePath(QStringLiteral("w.mdb")), db::OpenMode::CreateIfMissing);
        database::createSchema(db);
        state.ResumeTiming();
        db::Transaction tx(db);
        db::Statement insert =
            db.prepare(QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo) VALUES (?1,?2,?3)"));
        for (int i = 0; i < kRows; ++i) {
            insert.bindAll({QStringLiteral("Nombre %1").arg(i), phone(i), QStringLiteral("Nombre completo %1").arg(i)});
            insert.run();
            insert.reset();
        }
        tx.commit();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_InsertWrapper)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InsertRaw(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.mdb"));
        {
            db::Connection db;
            db.open(path, db::OpenMode::CreateIfMissing);
            database::createSchema(db);
        }
        // The same key, journal and page cache as the wrapper: only the wrapper's own cost differs.
        sqlite3 *raw = bench::openRaw(path);
        state.ResumeTiming();
        sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(raw, "INSERT INTO Agenda (nombre,telefono,nombre_completo) VALUES (?1,?2,?3)", -1, &insert,
                           nullptr);
        for (int i = 0; i < kRows; ++i) {
            const QByteArray name = QStringLiteral("Nombre %1").arg(i).toUtf8();
            const QByteArray tel = phone(i).toUtf8();
            const QByteArray fullName = QStringLiteral("Nombre completo %1").arg(i).toUtf8();
            sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, tel.constData(), int(tel.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, fullName.constData(), int(fullName.size()), SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        bench::commitRawInserts(state, raw, insert);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_InsertRaw)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
