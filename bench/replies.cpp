// Time and memory of reading large gateway replies: a body of nothing but separators at the
// largest cap, the web account's 200,000 contacts and the delivery reports of twenty sends to
// groups of 50,000. Memory figures are the process's peak above its size before the step, as a
// multiple of the body; run one benchmark per process (--benchmark_filter) for clean figures.
#include "bench_data.h"

#include "history/delivery_reports.h"
#include "importexport/web/web_download.h"
#include "platform/net/reply_text.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>

namespace {

QByteArray webBook(int contacts)
{
    QByteArray out;
    for (int i = 0; i < contacts; ++i) {
        const QByteArray n = QByteArray::number(i).rightJustified(6, '0');
        if (i > 0)
            out += "||";
        out += "INSERT INTO Agenda (nombre,telefono,direccion,nombre_completo,telefono_2,comentario) VALUES ('Contacto "
             + n + "','34600" + n + "','Calle Mayor " + n + ", 3\xBA B','Mar\xED" "a Fern\xE1ndez L\xF3pez " + n + "','34910" + n
             + "','Cliente desde 2019, prefiere llamadas por la tarde')";
    }
    return out;
}

QByteArray reports(int sends, int group)
{
    QByteArray out;
    for (int k = 0; k < sends; ++k) {
        out += "1|" + QByteArray::number(500 + k) + '|';
        for (int i = 0; i < group; ++i) {
            if (i > 0)
                out += ',';
            out += "346" + QByteArray::number(k).rightJustified(2, '0') + QByteArray::number(i).rightJustified(6, '0');
        }
        out += "|0\r\n";
    }
    return out;
}

template <typename Step>
void measure(benchmark::State &state, const QByteArray &body, Step &&step)
{
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const double base = bench::currentMemoryMb();
        bench::resetPeakMemory();
        state.ResumeTiming();
        step();
        state.PauseTiming();
        peak = std::max(peak, bench::peakMemoryMb() - base);
        state.ResumeTiming();
    }
    const double bodyMb = double(body.size()) / (1024 * 1024);
    state.counters["body_MB"] = bodyMb;
    state.counters["peak_MB"] = peak;
    state.counters["peak_per_body"] = bodyMb > 0 ? peak / bodyMb : 0;
}

// The body as the channel hands it on: decoded, trimmed, and its fields read where they lie.
void BM_ReplyOfSeparators(benchmark::State &state)
{
    const QByteArray body(32 * 1024 * 1024, '|');
    measure(state, body, [&] {
        const QString text = net::replyText(body, "text/plain; charset=windows-1252");
        benchmark::DoNotOptimize(net::apiFieldCount(text));
        benchmark::DoNotOptimize(net::apiField(text, 3).size());
    });
}
BENCHMARK(BM_ReplyOfSeparators)->Unit(benchmark::kMillisecond)->Iterations(3);

// The web contacts: decoded, classified and every record read (the database writes aside).
void BM_WebBookOf200000(benchmark::State &state)
{
    const QByteArray body = webBook(200000);
    measure(state, body, [&] {
        const QString text = net::replyText(body, "text/plain; charset=windows-1252");
        benchmark::DoNotOptimize(importexport::web::classifyDownload(text));
        importexport::web::RecordReader reader(text);
        int read = 0;
        while (const std::optional<QStringView> record = reader.next())
            read += importexport::web::parseRecord(*record) ? 1 : 0;
        benchmark::DoNotOptimize(read);
    });
}
BENCHMARK(BM_WebBookOf200000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Twenty reports of 50,000 numbers each, every line read.
void BM_ReportsOfLargeGroups(benchmark::State &state)
{
    const QByteArray body = reports(history::kMaxReportIds, 50000);
    measure(state, body, [&] {
        const QString text = net::replyText(body, "text/plain; charset=windows-1252");
        const QStringView view(text);
        int read = 0;
        for (qsizetype start = 0; start < view.size();) {
            const qsizetype end = view.indexOf(QLatin1Char('\n'), start);
            const QStringView line = view.mid(start, (end < 0 ? view.size() : end) - start);
            start = end < 0 ? view.size() : end + 1;
            read += history::parseStateLine(line) ? 1 : 0;
        }
        benchmark::DoNotOptimize(read);
    });
}
BENCHMARK(BM_ReportsOfLargeGroups)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
