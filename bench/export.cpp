// The three Excel exports as the user drives them (the window's whole run: read, write, check the
// workbook, put it in place), each beside its floor: a raw read of the same rows in the same
// order. Three runs each; read the medians. peak_MB is the whole process's peak resident memory
// during the export; run one size per process to read it:
//   bench_export --benchmark_filter=BM_HistoryExport/1000000
#include "bench_data.h"
#include "contacts/contact_book.h"
#include "contacts/export/contact_list_export.h"
#include "database/schema.h"
#include "history/export/export_flow.h"
#include "importexport/excel/contact_export.h"
#include "platform/db/connection.h"
#include "platform/db/spanish_order.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/shell.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <memory>

namespace {

class NoShell final : public ui::Shell {
public:
    bool openUrl(const QString &) override { return true; }
    bool startProgram(const QString &, const QStringList &) override { return true; }
};

// Saves where it is told and answers "SI" to the long-list question.
class SavingPrompter final : public ui::Prompter {
public:
    QString path;
    ui::Answer message(const QString &, const QString &, ui::Icon, ui::Buttons) override { return ui::Answer::Ok; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return QStringLiteral("SI"); }
    std::optional<QString> openFile(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> saveFile(const QString &, const QString &, const QString &) override { return path; }
    std::optional<QString> chooseFolder(const QString &, const QString &) override { return {}; }
};

// 2,000,000 sends, 500,000 a month from January 2024 to April; every third to three numbers, half
// of them with delivery reports. The exports take up to 1,000,000 of them: a sheet holds at most
// 1,048,576 rows, so a longer period is refused by the export.
struct BigHistory {
    QTemporaryDir dir;
    QString path;

    // Written through a connection of its own, closed (its cache given back) before any export.
    BigHistory()
    {
        path = dir.filePath(QStringLiteral("bbdd.mdb"));
        db::Connection connection;
        connection.open(path, db::OpenMode::CreateIfMissing);
        database::createSchema(connection);
        connection.execute(QStringLiteral("BEGIN"));
        connection.execute(QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2000000) "
            "INSERT INTO Historial (destinatario, f_envio, f_programada, mensaje, id_web, estado, remitente, "
            "creditos, bool_cumple, username) "
            "SELECT CASE WHEN x % 3 = 0 THEN (34600000000 + x) || ',' || (34610000000 + x) || ',' || (34620000000 + x) "
            "ELSE '' || (34600000000 + x) END, "
            "'2024-0' || ((x - 1) / 500000 + 1) || '-' || substr('0' || (x % 28 + 1), -2) || ' 09:' "
            "|| substr('0' || (x % 60), -2), "
            "CASE WHEN x % 9 = 0 THEN '2024-06-01 10:00' ELSE 'Inmediato' END, "
            "'Mensaje de prueba número ' || x || ' con algo de texto', x, "
            "CASE WHEN x % 2 = 0 THEN '1|' || (34600000000 + x) || '|0' ELSE '0|0|0' END, "
            "'Brisanta', CASE WHEN x % 3 = 0 THEN 3 ELSE 1 END, '0', 'u' FROM c"));
        connection.execute(QStringLiteral("COMMIT"));
        connection.close();
        malloc_trim(0);
    }
};

BigHistory &bigHistory()
{
    static BigHistory h;
    return h;
}

history::exporting::Options periodOf(qint64 sends)
{
    history::exporting::Options o;
    o.fromDate = QStringLiteral("2024-01-01");
    o.toDate = QStringLiteral("2024-0%1-01").arg(1 + (sends + 499999) / 500000);
    return o;
}

// The client's connection as it stands when the user starts an export: opened at start-up (its
// key derived then), its cache holding only what the windows have shown.
std::unique_ptr<db::Connection> openedAsAtStart(const QString &path)
{
    auto connection = std::make_unique<db::Connection>();
    connection->open(path);
    return connection;
}

void BM_HistoryExport(benchmark::State &state)
{
    BigHistory &h = bigHistory();
    const history::exporting::Options options = periodOf(state.range(0));
    SavingPrompter prompter;
    NoShell shell;
    ui::BusyCursor busy;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        prompter.path = h.dir.filePath(QStringLiteral("historial.xlsx"));
        QFile::remove(prompter.path);
        const std::unique_ptr<db::Connection> connection = openedAsAtStart(h.path);
        state.counters["before_MB"] = bench::currentMemoryMb();
        bench::resetPeakMemory();
        state.ResumeTiming();
        const history::exporting::Outcome out =
            history::exporting::runExport({*connection, prompter, shell, busy}, options, QStringLiteral("Brisanta"), h.dir.path());
        state.PauseTiming();
        peak = std::max(peak, bench::peakMemoryMb());
        // Two million sends do not fit one sheet: that export is refused, and its memory is read.
        const auto expected = state.range(0) > history::exporting::kMaxDataRows
            ? history::exporting::Outcome::Status::TooManyRows
            : history::exporting::Outcome::Status::Exported;
        if (out.status != expected) {
            state.SkipWithError("the export failed");
            break;
        }
        state.counters["rows"] = out.rows;
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_HistoryExport)->Arg(500000)->Arg(1000000)->Arg(2000000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// Every text of the same rows, read raw in the same order, on a connection opened (its key
// derived) before the timing: the client's connection is open long before the user exports, and
// its cache holds a page or two of what the user has looked at, not the whole table.
template <class State>
void rawRead(State &state, const QString &path, const char *sql, const QList<QByteArray> &values, bool spanish = false)
{
    state.PauseTiming();
    sqlite3 *raw = bench::openRaw(path);
    if (spanish)
        sqlite3_create_collation_v2(
            raw, db::kSpanishCollation, SQLITE_UTF8, nullptr,
            [](void *, int la, const void *a, int lb, const void *b) {
                return db::compareSpanishUtf8(static_cast<const char *>(a), la, static_cast<const char *>(b), lb);
            },
            nullptr);
    const auto readAll = [&]() {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(raw, sql, -1, &stmt, nullptr);
        for (int i = 0; i < values.size(); ++i)
            sqlite3_bind_text(stmt, i + 1, values.at(i).constData(), int(values.at(i).size()), SQLITE_TRANSIENT);
        size_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                bytes += size_t(sqlite3_column_bytes(stmt, c));
            }
        benchmark::DoNotOptimize(bytes);
        sqlite3_finalize(stmt);
    };
    state.ResumeTiming();
    readAll();
    state.PauseTiming();
    sqlite3_close(raw);
    state.ResumeTiming();
}

void BM_HistoryExport_Floor(benchmark::State &state)
{
    BigHistory &h = bigHistory();
    const history::exporting::Options options = periodOf(state.range(0));
    for (auto _ : state)
        rawRead(state, h.path,
                "SELECT destinatario, f_envio, f_programada, mensaje, estado, creditos, remitente FROM Historial "
                "WHERE f_envio >= ?1 AND f_envio < ?2 ORDER BY f_envio ASC, sid ASC",
                {(options.fromDate + QStringLiteral(" 00:00")).toUtf8(), (options.toDate + QStringLiteral(" 00:00")).toUtf8()});
}
BENCHMARK(BM_HistoryExport_Floor)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// A contact book of `rows` contacts.
struct Book {
    QTemporaryDir dir;
    QString path;

    explicit Book(int rows)
    {
        path = dir.filePath(QStringLiteral("bbdd.mdb"));
        db::Connection connection;
        connection.open(path, db::OpenMode::CreateIfMissing);
        database::createSchema(connection);
        connection.execute(QStringLiteral("BEGIN"));
        connection.execute(QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < ?1) "
            "INSERT INTO Agenda (nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento, "
            "grupos_sid) SELECT CASE x % 4 WHEN 0 THEN 'Ángel ' WHEN 1 THEN 'ana ' WHEN 2 THEN 'Ñuria ' ELSE 'Zoe ' END "
            "|| ((x * 7919) % 100003), 34600000000 + x, 'Nombre Apellido O''Connor ' || x, 'Calle Mayor ' || x, '', "
            "'nota', CASE WHEN x % 2 = 0 THEN '1980-03-05' END, '1' FROM c"),
            {rows});
        connection.execute(QStringLiteral("COMMIT"));
        connection.close();
        malloc_trim(0);
    }
};

Book &bookOf(qint64 rows)
{
    static Book half(50000);
    static Book whole(100000);
    return rows <= 50000 ? half : whole;
}

void BM_ContactExport(benchmark::State &state)
{
    Book &b = bookOf(state.range(0));
    SavingPrompter prompter;
    NoShell shell;
    ui::BusyCursor busy;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        prompter.path = b.dir.filePath(QStringLiteral("agenda.xlsx"));
        QFile::remove(prompter.path);
        const std::unique_ptr<db::Connection> connection = openedAsAtStart(b.path);
        bench::resetPeakMemory();
        state.ResumeTiming();
        const auto out = importexport::excel::exportContacts({*connection, prompter, shell, busy}, 0,
                                                               importexport::excel::kAllContacts, b.dir.path());
        state.PauseTiming();
        peak = std::max(peak, bench::peakMemoryMb());
        if (out.status != importexport::excel::ExportOutcome::Status::Exported) {
            state.SkipWithError("the export failed");
            break;
        }
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_ContactExport)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_ContactExport_Floor(benchmark::State &state)
{
    Book &b = bookOf(state.range(0));
    for (auto _ : state)
        rawRead(state, b.path,
                "SELECT nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento FROM Agenda "
                "ORDER BY nombre COLLATE ESPANOL ASC, sid ASC",
                {}, true);
}
BENCHMARK(BM_ContactExport_Floor)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_ContactListExport(benchmark::State &state)
{
    Book &b = bookOf(state.range(0));
    SavingPrompter prompter;
    NoShell shell;
    ui::BusyCursor busy;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        prompter.path = b.dir.filePath(QStringLiteral("listado.xlsx"));
        QFile::remove(prompter.path);
        const std::unique_ptr<db::Connection> connection = openedAsAtStart(b.path);
        bench::resetPeakMemory();
        state.ResumeTiming();
        contacts::ContactRecords records;
        records.reload(*connection, std::nullopt);
        const auto out = contacts::exporting::exportContactList({prompter, shell, busy}, records, b.dir.path());
        state.PauseTiming();
        peak = std::max(peak, bench::peakMemoryMb());
        if (out.status != contacts::exporting::ExportResult::Status::Exported) {
            state.SkipWithError("the export failed");
            break;
        }
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_ContactListExport)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_ContactListExport_Floor(benchmark::State &state)
{
    Book &b = bookOf(state.range(0));
    for (auto _ : state)
        rawRead(state, b.path,
                "SELECT sid,nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento,grupos_sid "
                "FROM Agenda ORDER BY nombre COLLATE ESPANOL ASC, sid ASC",
                {}, true);
}
BENCHMARK(BM_ContactListExport_Floor)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

} // namespace

BRISANTA_WIDGETS_BENCHMARK_MAIN()
