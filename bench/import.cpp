// The Excel import as the progress window runs it, beside its floor: the same contacts put in with
// one transaction of prepared inserts on the raw engine. Run alone to read its memory figures:
//   bench_import --benchmark_filter=Excel
#include "bench_data.h"
#include "importexport/excel/import_progress_window.h"
#include "importexport/access/access_import.h"
#include "importexport/access/access_settings.h"
#include "importexport/excel/import_engine.h"
#include "platform/mdb/access_file.h"
#include "platform/db/connection.h"
#include "startup/database/schema.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace importexport::excel;

QString nameOf(int i) { return QStringLiteral("Nombre %1").arg(i); }
QString fullNameOf(int i) { return QStringLiteral("Nombre Apellido O'Connor %1").arg(i); }
QString addressOf(int i) { return QStringLiteral("Calle Mayor %1, 3º B").arg(i); }
QString mobileOf(int i) { return QString::number(600000000 + (i * 7919) % 100000000); }

// A sheet of `rows` contacts under a header row, as the reader hands it to the import: name,
// phone (a number cell), full name, address.
RecordSheet sheetOf(int rows)
{
    xlsx::ReadSheet s;
    const auto put = [&s](int row, int column, xlsx::ReadCell::Kind kind, const QString &text) {
        xlsx::ReadCell cell;
        cell.kind = kind;
        cell.text = text;
        if (kind == xlsx::ReadCell::Kind::Number)
            cell.number = text.toDouble();
        s.cells.insert({row, column}, cell);
        s.noteUsed(row, column);
    };
    const QStringList header{QStringLiteral("Nombre"), QStringLiteral("Teléfono"), QStringLiteral("Nombre completo"),
                             QStringLiteral("Dirección")};
    for (int c = 0; c < header.size(); ++c)
        put(1, c + 1, xlsx::ReadCell::Kind::Text, header.at(c));
    for (int i = 0; i < rows; ++i) {
        put(i + 2, 1, xlsx::ReadCell::Kind::Text, nameOf(i));
        put(i + 2, 2, xlsx::ReadCell::Kind::Number, mobileOf(i));
        put(i + 2, 3, xlsx::ReadCell::Kind::Text, fullNameOf(i));
        put(i + 2, 4, xlsx::ReadCell::Kind::Text, addressOf(i));
    }
    return RecordSheet(std::move(s));
}

QString freshDatabase(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("bbdd.mdb"));
    db::Connection db;
    db.open(path, db::OpenMode::CreateIfMissing);
    startup::createSchema(db);
    return path;
}

void BM_ExcelImport_ProgressWindow(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const RecordSheet sheet = sheetOf(rows);
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        db::Connection connection;
        connection.open(freshDatabase(dir));
        const double base = bench::currentMemoryMb();
        bench::resetPeakMemory();
        state.ResumeTiming();

        ImportEngine engine(connection, sheet, FieldColumns{1, 2, 3, 4, 0, 0, 0}, {});
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
        if (final != ImportRun::State::Finished || run.counters().added != rows)
            state.SkipWithError("the import did not take every row");
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ExcelImport_ProgressWindow)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

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
                           "f_nacimiento,grupos_sid) VALUES (?1,?2,?3,?4,'','',NULL,'')",
                           -1, &insert, nullptr);
        for (int i = 0; i < rows; ++i) {
            bench::bindText(insert, 1, nameOf(i));
            bench::bindText(insert, 2, QStringLiteral("34") + mobileOf(i));
            bench::bindText(insert, 3, fullNameOf(i));
            bench::bindText(insert, 4, addressOf(i));
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        bench::commitRawInserts(state, raw, insert);
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ExcelImport_Floor)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

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

// A table of `rows` rows already read, to see how the import's own work grows with the table.
mdb::Table tableOf(int rows)
{
    mdb::Table t;
    t.name = QStringLiteral("Contactos");
    t.columns = {{QStringLiteral("Id"), mdb::ColumnKind::Integer},
                 {QStringLiteral("Nombre"), mdb::ColumnKind::Text},
                 {QStringLiteral("Movil"), mdb::ColumnKind::Text},
                 {QStringLiteral("Email"), mdb::ColumnKind::Text}};
    t.rows.reserve(size_t(rows));
    for (int i = 0; i < rows; ++i)
        t.rows.push_back(QVariantList{qint64(i + 1), fullNameOf(i), QString(QStringLiteral("+34") + mobileOf(i)),
                          QStringLiteral("nombre%1@correo.example").arg(i)});
    return t;
}

void BM_AccessImport_Rows(benchmark::State &state)
{
    using namespace importexport::access;
    const int rows = int(state.range(0));
    const mdb::Table table = tableOf(rows);
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
    const mdb::Table table = tableOf(rows);
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

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
