// History page rebuild on a large history, and contact names for a page of large sends.
#include "database/schema.h"
#include "history/contact_names.h"
#include "history/history_filter.h"
#include "history/history_view.h"
#include "platform/db/connection.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString kNow = QStringLiteral("2024-05-10 12:00:00");

// One database per scenario, built once per process.
struct BigHistory {
    QTemporaryDir dir;
    db::Connection connection;

    BigHistory(qint64 sends, qint64 recipientsPerSend, qint64 contacts)
    {
        connection.open(dir.filePath(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing);
        database::createSchema(connection);
        connection.execute(QStringLiteral("BEGIN"));
        // Recipients: numbers 346<8 digits>, the send's first number from its sid; every third
        // send is scheduled, a third of those still ahead.
        connection.execute(QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < ?1), "
            "r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r WHERE i < ?2) "
            "INSERT INTO Historial (destinatario, f_envio, f_programada, mensaje, id_web, estado, remitente, "
            "creditos, bool_cumple, username) "
            "SELECT (SELECT group_concat(346000000000 + ((x * 7919 + i * 104729) % ?3), ',') FROM r), "
            "'2024-05-01 09:00', CASE WHEN x % 9 = 0 THEN '2024-06-01 10:00' WHEN x % 3 = 0 THEN "
            "'2024-05-01 10:00' ELSE 'Inmediato' END, 'Mensaje de prueba numero ' || x || ' con algo de texto', "
            "x, CASE WHEN x % 2 = 0 THEN '1|' || (346000000000 + ((x * 7919 + 104729) % ?3)) || '|0' ELSE '0|0|0' END, "
            "'Brisanta', 1, '0', '' FROM c"),
            {sends, recipientsPerSend, qMax<qint64>(contacts * 2, 1000)});
        connection.execute(QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c WHERE x < ?1 - 1) "
            "INSERT INTO Agenda (nombre, telefono) SELECT 'Contacto ' || x, 346000000000 + x * 2 FROM c"),
            {contacts});
        connection.execute(QStringLiteral("COMMIT"));
    }
};

BigHistory &millionSends()
{
    static BigHistory h(1000000, 2, 1000);
    return h;
}

BigHistory &bigSendsBigBook()
{
    static BigHistory h(30, 100, 100000);
    return h;
}

void BM_PageModel_MillionSends(benchmark::State &state)
{
    BigHistory &h = millionSends();
    history::ViewOptions o;
    o.kind = history::ViewKind(state.range(0));
    o.page = state.range(1);
    for (auto _ : state) {
        const history::HistoryPage p = history::buildHistoryPage(h.connection, o, kNow);
        benchmark::DoNotOptimize(p.nodes.data());
        if (p.rowCount == 0)
            state.SkipWithError("empty view");
    }
}
// The schema's indexes are what the view counts and pages by; every view and a deep page.
BENCHMARK(BM_PageModel_MillionSends)
    ->ArgNames({"kind", "page"})
    ->Args({0, 0})
    ->Args({0, 20000})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond);

void BM_PageModel_MillionSends_PhoneFilter(benchmark::State &state)
{
    BigHistory &h = millionSends();
    history::FilterPanel panel;
    panel.byPhone = true;
    panel.phone = QStringLiteral("346000000100");
    history::ViewOptions o;
    o.filtering = true;
    o.filter = history::buildHistoryFilter(panel).condition;
    for (auto _ : state) {
        const history::HistoryPage p = history::buildHistoryPage(h.connection, o, kNow);
        benchmark::DoNotOptimize(p.nodes.data());
    }
}
BENCHMARK(BM_PageModel_MillionSends_PhoneFilter)->Unit(benchmark::kMillisecond);

void BM_Names_PageOf30x100_Book100k(benchmark::State &state)
{
    BigHistory &h = bigSendsBigBook();
    history::ViewOptions o;
    o.showNames = true;
    for (auto _ : state) {
        const history::HistoryPage p = history::buildHistoryPage(h.connection, o, kNow);
        benchmark::DoNotOptimize(p.nodes.data());
    }
}
BENCHMARK(BM_Names_PageOf30x100_Book100k)->Unit(benchmark::kMillisecond);

void BM_Names_LookupOnly_3000Numbers(benchmark::State &state)
{
    BigHistory &h = bigSendsBigBook();
    QStringList numbers;
    for (qint64 i = 0; i < 3000; ++i)
        numbers << QString::number(346000000000 + i * 67);
    for (auto _ : state) {
        const history::NameBook book = history::NameBook::lookup(h.connection, numbers);
        benchmark::DoNotOptimize(book.size());
    }
}
BENCHMARK(BM_Names_LookupOnly_3000Numbers)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
