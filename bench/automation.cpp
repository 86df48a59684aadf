// Speed of reading the watched file: its lines grouped by message into queued sends.
#include "automation/watched_file.h"

#include <QStringList>

#include <benchmark/benchmark.h>

namespace {

// `count` lines of one to three numbers for a handful of messages, the way a program writing
// the file for a day's reminders would; `mensajes` distinct texts.
QStringList lines(int count, int mensajes)
{
    QStringList out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        QStringList numbers;
        for (int k = 0; k <= i % 3; ++k)
            numbers << QString::number(600000000 + (i * 7 + k * 13) % 99999999);
        out << numbers.join(QLatin1Char(',')) + QStringLiteral("#Recordatorio ") + QString::number(i % mensajes);
    }
    return out;
}

void BM_GroupLinesFewMessages(benchmark::State &state)
{
    const QStringList input = lines(int(state.range(0)), 5);
    for (auto _ : state)
        benchmark::DoNotOptimize(automation::agruparPorMensaje(input, QStringLiteral("#")).entradas.size());
}
BENCHMARK(BM_GroupLinesFewMessages)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_GroupLinesEveryMessageDistinct(benchmark::State &state)
{
    const QStringList input = lines(int(state.range(0)), int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(automation::agruparPorMensaje(input, QStringLiteral("#")).entradas.size());
}
BENCHMARK(BM_GroupLinesEveryMessageDistinct)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
