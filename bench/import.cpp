// The Excel import as the user drives it, from a real workbook file to the summary, beside its
// floor: the same contacts put in with one transaction of prepared inserts on the raw engine. Run
// alone to read its memory figures:
//   bench_import --benchmark_filter=Excel
#include "bench_data.h"
#include "database/schema.h"
#include "importexport/access/access_import.h"
#include "importexport/access/access_settings.h"
#include "importexport/excel/column_mapping.h"
#include "importexport/excel/import_engine.h"
#include "importexport/excel/import_progress_window.h"
#include "platform/db/connection.h"
#include "platform/mdb/access_file.h"
#include "platform/xlsx/workbook_writer.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

using namespace importexport::excel;

QString nameOf(int i) { return QStringLiteral("Nombre %1").arg(i); }
QString addressOf(int i) { return QStringLiteral("Calle Mayor %1, 3º B").arg(i); }

QString otherPhoneOf(int i) { return QString::number(910000000 + (i * 104729) % 9000000); }
QString commentOf(int i) { return QStringLiteral("Cliente desde %1").arg(2000 + i % 25); }
QDate birthOf(int i) { return QDate(1950, 1, 1).addDays(i % 20000); }

// A real workbook of `rows` contacts under a header row, in the seven columns the import maps
// (name, phone as a number cell, full name, address, other phone, comment, birth date as a date
// cell), saved by the project's own writer with its texts shared as Excel saves them.
QString workbookOf(const QTemporaryDir &dir, int rows)
{
    xlsx::Sheet sheet;
    sheet.setTextRow(1, 1, {QStringLiteral("Nombre"), QStringLiteral("Teléfono"), QStringLiteral("Nombre completo"),
                            QStringLiteral("Dirección"), QStringLiteral("Otro teléfono"), QStringLiteral("Comentarios"),
                            QStringLiteral("Fecha de nacimiento")});
    for (int i = 0; i < rows; ++i) {
        const int row = i + 2;
        sheet.setText(row, 1, nameOf(i));
        sheet.setTyped(row, 2, bench::contactMobile(i));
        sheet.setText(row, 3, bench::contactFullName(i));
        sheet.setText(row, 4, addressOf(i));
        sheet.setTyped(row, 5, otherPhoneOf(i));
        sheet.setText(row, 6, commentOf(i));
        sheet.setDate(row, 7, birthOf(i));
    }
    const QString path = dir.filePath(QStringLiteral("contactos.xlsx"));
    if (!xlsx::save(path, {sheet}).ok())
        return {};
    return path;
}

QString freshDatabase(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("bbdd.mdb"));
    db::Connection db;
    db.open(path, db::OpenMode::CreateIfMissing);
    database::createSchema(db);
    return path;
}

// The Excel import as the user drives it, from the workbook file to the summary: the mapping
// window's reading for its sample, the reading of the mapped columns, and the run under the
// progress window's timer. The peak is the whole process's above what it held before.
void BM_ExcelImport_ProgressWindow(benchmark::State &state)
{
    const int rows = int(state.range(0));
    QTemporaryDir bookDir;
    const QString book = workbookOf(bookDir, rows);
    // What writing the workbook took goes back to the system, so the import starts from a heap
    // (and a peak) of its own.
    malloc_trim(0);
    if (book.isEmpty()) {
        state.SkipWithError("the workbook could not be written");
        return;
    }
    const FieldColumns columns{1, 2, 3, 4, 5, 6, 7};
    double peak = 0;
    double processPeak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        db::Connection connection;
        connection.open(freshDatabase(dir));
        const double base = bench::currentMemoryMb();
        bench::resetPeakMemory();
        state.ResumeTiming();

        const RecordSheet::Loaded sampled = RecordSheet::load(book, sampleKeep(false));
        const Sample sample = buildSample(sampled.sheet);
        // As the mapping window does: a sheet kept whole for the sample is not read again.
        RecordSheet::Loaded loaded = sampled.sheet.holdsEverything() ? RecordSheet::Loaded{}
                                                                     : RecordSheet::load(book, importKeep(false, columns));
        if (!sampled.ok() || !loaded.ok() || sample.columns.size() != 7) {
            state.SkipWithError("the workbook could not be read");
            return;
        }
        const RecordSheet &sheet = sampled.sheet.holdsEverything() ? sampled.sheet : loaded.sheet;
        ImportEngine engine(connection, sheet, columns, {});
        ImportRun run(engine, sheet.firstRecord(), sheet.lastRecord());
        ImportProgressWindow window(run, false);
        window.show();
        QEventLoop loop;
        ImportRun::State final = run.start();
        QObject::connect(&window, &ImportProgressWindow::stopped, &loop, [&](ImportRun::State ended) {
            final = ended;
            loop.quit();
        });
        if (final == ImportRun::State::Running) {
            window.startRunning();
            loop.exec();
        }

        state.PauseTiming();
        peak = std::max(peak, bench::peakMemoryMb() - base);
        processPeak = std::max(processPeak, bench::peakMemoryMb());
        if (final != ImportRun::State::Finished || run.counters().added != rows)
            state.SkipWithError("the import did not take every row");
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
    state.counters["process_peak_MB"] = processPeak;
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ExcelImport_ProgressWindow)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the rows the import stores, in one transaction of one prepared insert.
void BM_ExcelImport_Floor(benchmark::State &state)
{
    const int rows = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        sqlite3 *raw = bench::openRaw(freshDatabase(dir));
        state.ResumeTiming();
        sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(raw,
                           "INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,"
                           "f_nacimiento,grupos_sid) VALUES (?1,?2,?3,?4,?5,?6,?7,'')",
                           -1, &insert, nullptr);
        for (int i = 0; i < rows; ++i) {
            bench::bindText(insert, 1, nameOf(i));
            bench::bindText(insert, 2, QStringLiteral("34") + bench::contactMobile(i));
            bench::bindText(insert, 3, bench::contactFullName(i));
            bench::bindText(insert, 4, addressOf(i));
            bench::bindText(insert, 5, otherPhoneOf(i));
            bench::bindText(insert, 6, commentOf(i));
            bench::bindText(insert, 7, birthOf(i).toString(QStringLiteral("yyyy-MM-dd")));
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        bench::commitRawInserts(state, raw, insert);
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ExcelImport_Floor)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- Access ----

// The shared fixture of 20,000 contacts (BRISANTA_SHARED names the folder that holds fixtures/).
QString bigMdb()
{
    const QString root = qEnvironmentVariable("BRISANTA_SHARED", QStringLiteral("/work/shared"));
    return QDir(root).filePath(QStringLiteral("fixtures/access/grande.mdb"));
}

void BM_AccessImport_File(benchmark::State &state)
{
    using namespace importexport::access;
    if (!QFileInfo::exists(bigMdb())) {
        state.SkipWithError("grande.mdb not found (BRISANTA_SHARED)");
        return;
    }
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        db::Connection connection;
        connection.open(freshDatabase(dir));
        const double base = bench::currentMemoryMb();
        bench::resetPeakMemory();
        state.ResumeTiming();

        AccessImport run(connection);
        RunOutcome out = run.start(FileRows::open(bigMdb(), QStringLiteral("Contactos")), defaultMapping(4));
        while (out.status == RunStatus::Conflict)
            out = run.resume(Decision{false, false, false, true});

        state.PauseTiming();
        peak = std::max(peak, bench::peakMemoryMb() - base);
        if (out.status != RunStatus::Finished)
            state.SkipWithError("the import failed");
        state.counters["contacts"] = out.count;
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_AccessImport_File)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the table read with the library, and its rows put in with raw prepared inserts.
void BM_AccessImport_FileFloor(benchmark::State &state)
{
    if (!QFileInfo::exists(bigMdb())) {
        state.SkipWithError("grande.mdb not found (BRISANTA_SHARED)");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        sqlite3 *raw = bench::openRaw(freshDatabase(dir));
        state.ResumeTiming();
        mdb::AccessFile file;
        mdb::TableScan scan;
        file.open(bigMdb());
        scan.open(file, QStringLiteral("Contactos"));
        sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(raw,
                           "INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,"
                           "f_nacimiento) VALUES (?1,?2,?3,'','','',NULL)",
                           -1, &insert, nullptr);
        QVariantList row;
        while (scan.next(row)) {
            bench::bindText(insert, 1, row.value(1).toString());
            bench::bindText(insert, 2, row.value(2).toString());
            bench::bindText(insert, 3, row.value(3).toString());
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        bench::commitRawInserts(state, raw, insert);
    }
}
BENCHMARK(BM_AccessImport_FileFloor)->Unit(benchmark::kMillisecond)->Iterations(3);

// The import of a table of `rows` rows already read, to see how its own work grows with the table.
void BM_AccessImport_Rows(benchmark::State &state)
{
    using namespace importexport::access;
    const int rows = int(state.range(0));
    const mdb::Table table = bench::accessContacts(rows);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        db::Connection connection;
        connection.open(freshDatabase(dir));
        auto source = std::make_unique<TableRows>(table);
        state.ResumeTiming();
        AccessImport run(connection);
        const RunOutcome out = run.start(std::move(source), defaultMapping(4));
        state.PauseTiming();
        if (out.status != RunStatus::Finished || int(out.count) != rows)
            state.SkipWithError("the import did not take every row");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_AccessImport_Rows)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_AccessImport_RowsFloor(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const mdb::Table table = bench::accessContacts(rows);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        sqlite3 *raw = bench::openRaw(freshDatabase(dir));
        state.ResumeTiming();
        sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(raw,
                           "INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,"
                           "f_nacimiento) VALUES (?1,?2,?3,'','','',NULL)",
                           -1, &insert, nullptr);
        for (const QVariantList &row : table.rows) {
            bench::bindText(insert, 1, row.value(1).toString());
            bench::bindText(insert, 2, row.value(2).toString().mid(1));
            bench::bindText(insert, 3, row.value(3).toString());
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        bench::commitRawInserts(state, raw, insert);
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_AccessImport_RowsFloor)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BRISANTA_WIDGETS_BENCHMARK_MAIN()
