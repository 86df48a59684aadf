// Time to judge and parse the birthday form's page in its worst shapes under the size bound:
// attributes by the thousand on one tag, on many tags, on repeated body tags and on end tags, and
// misnested formatting elements that the parser keeps copying. Every shape must end (parsed or
// refused) well under a second.
#include "automation/birthdays/web_form.h"

#include <QString>
#include <QUrl>

#include <benchmark/benchmark.h>

namespace {

using automation::birthdays::kMaxParsedPageSize;

QString attributes(int count, int from = 0)
{
    QString out;
    for (int i = 0; i < count; ++i)
        out += QStringLiteral(" a") + QString::number(from + i);
    return out;
}

void fill(QString &html, const QString &piece)
{
    while (html.size() + piece.size() + 64 < kMaxParsedPageSize)
        html += piece;
}

QString pageOf(int shape)
{
    QString html = QStringLiteral("<HTML><BODY><FORM action=x><input name=q></FORM>");
    switch (shape) {
    case 0: // one tag with distinct attributes up to the size bound
        html += QStringLiteral("<div");
        for (int i = 0; html.size() + 16 < kMaxParsedPageSize; ++i)
            html += QStringLiteral(" a") + QString::number(i);
        html += QStringLiteral(">");
        break;
    case 1: { // as many attributes as a page may carry, on tags at the per-tag bound
        const QString tag = QStringLiteral("<div") + attributes(automation::birthdays::kMaxTagAttributes - 1) + QStringLiteral("></div>");
        for (int i = 0; i + automation::birthdays::kMaxTagAttributes < automation::birthdays::kMaxPageAttributes; i += automation::birthdays::kMaxTagAttributes)
            html += tag;
        fill(html, QStringLiteral("<p>texto</p>"));
        break;
    }
    case 2: { // body tags again and again, each with new attributes
        int next = 0;
        while (html.size() + 200 < kMaxParsedPageSize) {
            html += QStringLiteral("<body") + attributes(16, next) + QStringLiteral(">");
            next += 16;
        }
        break;
    }
    case 3: // an end tag with attributes up to the size bound
        html += QStringLiteral("</div");
        for (int i = 0; html.size() + 16 < kMaxParsedPageSize; ++i)
            html += QStringLiteral(" a") + QString::number(i);
        html += QStringLiteral(">");
        break;
    case 4: // a formatting element with many attributes left open across paragraphs
        html += QStringLiteral("<p><b") + attributes(200) + QStringLiteral("></p>");
        fill(html, QStringLiteral("<p>x</p>"));
        break;
    case 5: // formatting elements by the hundred left open across paragraphs
        html += QStringLiteral("<p>");
        for (int i = 0; i < 500; ++i)
            html += QStringLiteral("<b>");
        html += QStringLiteral("</p>");
        fill(html, QStringLiteral("<p>x</p>"));
        break;
    case 6: // the most copying of a misnested element that is still parsed, then filler
        html += QStringLiteral("<p><b></p>");
        for (int i = 0; i < 95000; ++i)
            html += QStringLiteral("<p>x</p>");
        html += QStringLiteral("<!--");
        fill(html, QStringLiteral("relleno "));
        html += QStringLiteral("-->");
        break;
    case 7: // the same misnested element across paragraphs up to the size bound: refused
        html += QStringLiteral("<p><b></p>");
        fill(html, QStringLiteral("<p>x</p>"));
        break;
    case 8: // no attributes and nothing misnested: the parse itself, for comparison
        fill(html, QStringLiteral("<p>x</p>"));
        break;
    default:
        break;
    }
    return html;
}

void BM_ParseWorstPage(benchmark::State &state)
{
    const QString html = pageOf(int(state.range(0)));
    const QUrl url(QStringLiteral("http://h/"));
    bool valid = false;
    for (auto _ : state) {
        valid = automation::birthdays::parsePage(html, url).valid;
        benchmark::DoNotOptimize(valid);
    }
    state.counters["parsed"] = valid ? 1 : 0;
    state.counters["bytes"] = double(html.size());
}
BENCHMARK(BM_ParseWorstPage)
    ->ArgName("shape")
    ->DenseRange(0, 8)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
