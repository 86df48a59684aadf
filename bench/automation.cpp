// Speed of reading the watched file (its lines grouped by message into queued sends) and of
// parsing the birthday form's page at the largest size and depth it is allowed.
#include "automation/birthdays/web_form.h"
#include "automation/watched_file.h"

#include <QStringList>

#include <benchmark/benchmark.h>

namespace {

// `count` lines of one to three numbers for a handful of messages, the way a program writing
// the file for a day's reminders would; `mensajes` distinct texts.
QStringList lines(int count, int messages)
{
    QStringList out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        QStringList numbers;
        for (int k = 0; k <= i % 3; ++k)
            numbers << QString::number(600000000 + (i * 7 + k * 13) % 99999999);
        out << numbers.join(QLatin1Char(',')) + QStringLiteral("#Recordatorio ") + QString::number(i % messages);
    }
    return out;
}

void BM_GroupLinesFewMessages(benchmark::State &state)
{
    const QStringList input = lines(int(state.range(0)), 5);
    for (auto _ : state)
        benchmark::DoNotOptimize(automation::groupByMessage(input, QStringLiteral("#")).sends.size());
}
BENCHMARK(BM_GroupLinesFewMessages)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_GroupLinesEveryMessageDistinct(benchmark::State &state)
{
    const QStringList input = lines(int(state.range(0)), int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(automation::groupByMessage(input, QStringLiteral("#")).sends.size());
}
BENCHMARK(BM_GroupLinesEveryMessageDistinct)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A page just under the size bound: a long flat table, as a gateway page that lists much would be.
void BM_ParseLargestPage(benchmark::State &state)
{
    QString html = QStringLiteral("<HTML><BODY><FORM action=x><input name=q><table>");
    const QString row = QStringLiteral("<tr><td>Nombre</td><td>600000000</td><td><b>texto</b></td></tr>");
    while (html.size() + row.size() + 40 < automation::birthdays::kMaxParsedPageSize)
        html += row;
    html += QStringLiteral("</table></FORM></BODY></HTML>");
    const QUrl url(QStringLiteral("http://h/"));
    for (auto _ : state)
        benchmark::DoNotOptimize(automation::birthdays::parsePage(html, url).form.controls.size());
}
BENCHMARK(BM_ParseLargestPage)->Unit(benchmark::kMillisecond);

// The deepest page that is still parsed, and one past it (refused by the pre-scan).
void BM_ParseDeepPage(benchmark::State &state)
{
    QString html;
    for (int i = 0; i < int(state.range(0)); ++i)
        html += QStringLiteral("<div>");
    html += QStringLiteral("<FORM action=x><input name=q></FORM>");
    const QUrl url(QStringLiteral("http://h/"));
    for (auto _ : state)
        benchmark::DoNotOptimize(automation::birthdays::parsePage(html, url).valid);
}
BENCHMARK(BM_ParseDeepPage)->Arg(500)->Arg(200000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
