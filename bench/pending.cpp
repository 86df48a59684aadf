// The start writing the pending-sends file left by sends that found the database busy: 1,000,
// 16,000 and 65,000 records (the last near the file's own size limit) into a history of 100,000
// sends. Timed from opening the database to the end of the start-up step that takes the file,
// reads it and writes its records, as the start runs it. Its floor, in the same iteration, is one
// transaction of raw prepared inserts of the same rows into a copy of the same file. The time per
// record (us_per_record) is what must stay flat as the file grows.
#include "bench_data.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QList<recording::SendRecord> pendingRecords(int count)
{
    QList<recording::SendRecord> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        recording::SendRecord r;
        r.username = QStringLiteral("u");
        r.recipients = bench::phone(i);
        r.sentAt = QStringLiteral("2026-03-05 09:07");
        r.scheduledAt = QStringLiteral("Inmediato");
        r.message = QStringLiteral("Pendiente %1").arg(i);
        r.webId = QString::number(1000000 + i);
        r.sender = QStringLiteral("Brisanta");
        r.credits = 1;
        records.append(r);
    }
    return records;
}

const QString &templateDatabase()
{
    static QTemporaryDir dir;
    static const QString path = bench::seedLargeDatabase(dir.filePath(QStringLiteral("plantilla.mdb")));
    return path;
}

// The floor: the same rows, inserted with one prepared statement in one transaction.
double floorMs(const QString &file, const QList<recording::SendRecord> &records)
{
    QElapsedTimer clock;
    clock.start();
    sqlite3 *raw = bench::openRaw(file);
    sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(raw,
                       "INSERT INTO Historial (username,destinatario,f_envio,f_programada,mensaje,id_web,estado,"
                       "remitente,creditos,bool_cumple) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)",
                       -1, &insert, nullptr);
    for (const recording::SendRecord &r : records) {
        bench::bindText(insert, 1, r.username);
        bench::bindText(insert, 2, r.recipients);
        bench::bindText(insert, 3, r.sentAt);
        bench::bindText(insert, 4, r.scheduledAt);
        bench::bindText(insert, 5, r.message);
        bench::bindText(insert, 6, r.webId);
        sqlite3_bind_null(insert, 7);
        bench::bindText(insert, 8, r.sender);
        sqlite3_bind_double(insert, 9, r.credits);
        sqlite3_bind_null(insert, 10);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    sqlite3_close(raw);
    return ms;
}

void BM_PendingStartup(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QList<recording::SendRecord> records = pendingRecords(count);
    for (auto _ : state) {
        QTemporaryDir home;
        const QString local = home.filePath(QStringLiteral("bbdd.mdb"));
        const QString floorFile = home.filePath(QStringLiteral("suelo.mdb"));
        QFile::copy(templateDatabase(), local);
        QFile::copy(templateDatabase(), floorFile);
        if (!recording::appendPendingRecords(recording::pendingSendsPath(local), records)) {
            state.SkipWithError("the pending file could not be written");
            break;
        }

        QElapsedTimer clock;
        clock.start();
        db::Connection connection;
        const bool opened = connection.open(local).ok();
        const recording::PendingWrite written = recording::writePendingSends(connection);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (!opened || written.written != count) {
            state.SkipWithError("the start did not write every record");
            break;
        }
        const double floor = floorMs(floorFile, records);

        state.SetIterationTime(ms / 1000.0);
        state.counters["us_per_record"] = ms * 1000.0 / count;
        state.counters["floor_ms"] = floor;
        state.counters["floor_us_per_record"] = floor * 1000.0 / count;
        state.counters["vs_floor"] = ms / floor;
        state.counters["peak_MB"] = bench::peakMemoryMb();
    }
}
BENCHMARK(BM_PendingStartup)
    ->ArgName("records")
    ->Arg(1000)
    ->Arg(16000)
    ->Arg(65000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
