// Workbooks made to cost time or memory out of all proportion to their size, each read as the user
// reads it (the mapping window's first reading, then the import's reading or the whole book) beside
// a plain workbook of about the same file size. Each must be read or refused within a second and a
// gigabyte. The workbooks are generated at the start of each benchmark (not timed). Run one at a
// time to read its memory figures, since a process peak only grows:
//   bench_workbooks --benchmark_filter=Styles
// process_peak_MB is this process's peak resident memory since the benchmark began; for .xls the
// reading helper is a process of its own, and helper_peak_MB is its peak.
#include "bench_data.h"
#include "importexport/excel/column_mapping.h"
#include "importexport/excel/record_sheet.h"
#include "platform/xlsx/biff8_file.h"
#include "platform/xlsx/read_book.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>

#include <malloc.h>
#include <sys/resource.h>

namespace {

using namespace importexport::excel;

// The parts every generated workbook shares, and a writer of its own parts, in Python (zipfile
// streams a part of gigabytes without holding it).
const char *const kWorkbookScript = R"PY(
import sys, zipfile
kind, out = sys.argv[1], sys.argv[2]
ns = b'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
rel = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
def rows(f, first, count, cells):
    for start in range(first, first + count, 10000):
        f.write(b''.join(b'<row r="%d">' % r + cells(r) + b'</row>' for r in range(start, min(first + count, start + 10000))))
def contact(r):
    return b'<c t="inlineStr"><is><t>Nombre %d</t></is></c><c><v>6%08d</v></c><c t="inlineStr"><is><t>Calle Mayor %d</t></is></c>' % (r, r * 7919 % 100000000, r)
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('[Content_Types].xml', '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
    z.writestr('_rels/.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="' + rel + '/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    z.writestr('xl/workbook.xml', '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="' + rel + '"><sheets><sheet name="Hoja1" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr('xl/_rels/workbook.xml.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="' + rel + '/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="' + rel + '/sharedStrings" Target="sharedStrings.xml"/><Relationship Id="rId3" Type="' + rel + '/styles" Target="styles.xml"/></Relationships>')
    code = b'0' if kind != 'styles' else b'0' * 32000
    xfs = 65000 if kind == 'styles' else 2
    z.writestr('xl/styles.xml', b'<styleSheet ' + ns + b'><numFmts count="1"><numFmt numFmtId="164" formatCode="' + code + b'"/></numFmts><cellXfs count="%d">' % xfs + b'<xf numFmtId="164"/>' * xfs + b'</cellXfs></styleSheet>')
    with z.open('xl/sharedStrings.xml', 'w', force_zip64=True) as f:
        f.write(b'<sst ' + ns + b'>')
        if kind == 'runs':
            for _ in range(1000):
                f.write(b'<si>' + b'<r><t>a</t></r>' * 32000 + b'</si>')
        elif kind == 'texts':
            for start in range(0, 11000000, 100000):
                f.write(b''.join(b'<si><t>t%d</t></si>' % i for i in range(start, start + 100000)))
        f.write(b'</sst>')
    with z.open('xl/worksheets/sheet1.xml', 'w', force_zip64=True) as f:
        f.write(b'<worksheet ' + ns + b'><sheetData>')
        if kind == 'empties':
            rows(f, 1, 3, contact)
            for start in range(4, 4 + 20800, 100):
                f.write((b'<row>' + b'<c s="1"/>' * 10000 + b'</row>') * 100)
        elif kind == 'texts':
            rows(f, 1, 1000000, lambda r: b''.join(b'<c t="s"><v>%d</v></c>' % ((r - 1) * 11 + c) for c in range(11)))
        elif kind == 'styles':
            rows(f, 1, 3, lambda r: contact(r).replace(b'<c>', b'<c s="64999">'))
        else:
            rows(f, 1, int(sys.argv[3]), contact)
        f.write(b'</sheetData></worksheet>')
)PY";

QString generated(const QTemporaryDir &dir, const QString &kind, int plainRows = 0)
{
    const QString path = dir.filePath(kind + QStringLiteral(".xlsx"));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kWorkbookScript), kind, path,
                                                       QString::number(plainRows)});
    if (!python.waitForFinished(15 * 60 * 1000) || python.exitCode() != 0)
        return {};
    return path;
}

// A legacy .xls of `sheets` sheets, each declaring `rows` × `columns` cells around two real ones.
QString generatedXls(const QTemporaryDir &dir, int sheets, quint32 rows, quint16 columns)
{
    QList<xlstest::XlsSheet> list;
    for (int i = 0; i < sheets; ++i)
        list.append({QStringLiteral("Hoja%1").arg(i + 1), {{0, 0, QStringLiteral("Ana ").repeated(1100)}, {1, 1, 600123456.0}}});
    QByteArray bytes = xlstest::xlsFile(list);
    for (qsizetype at = 0; rows > 0 && (at = bytes.indexOf(QByteArray("\x00\x02\x0e\x00", 4), at)) >= 0; at += 4) {
        qToLittleEndian<quint32>(rows, bytes.data() + at + 8);
        qToLittleEndian<quint16>(columns, bytes.data() + at + 14);
    }
    const QString path = dir.filePath(QStringLiteral("libro%1.xls").arg(rows));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return path;
}

double helperPeakMb()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The mapping window's first reading, then (as "Comenzar importación" does for a sheet too large to
// be kept whole) the import's reading of every field; or the whole book, as a check reads it.
enum class Road { MappingThenImport, WholeBook };

void readAsTheUserDoes(benchmark::State &state, const QString &path, Road road)
{
    if (path.isEmpty()) {
        state.SkipWithError("the workbook could not be generated");
        return;
    }
    state.counters["file_KB"] = double(QFileInfo(path).size()) / 1024.0;
    malloc_trim(0);
    bench::resetPeakMemory();
    QString outcome;
    for (auto _ : state) {
        if (road == Road::WholeBook) {
            const xlsx::ReadBook book = xlsx::readWorkbook(path);
            outcome = book.ok() ? QStringLiteral("read") : book.message;
            continue;
        }
        RecordSheet::Loaded sample = RecordSheet::load(path, sampleKeep(false));
        if (!sample.ok()) {
            outcome = sample.message;
            continue;
        }
        if (sample.sheet.holdsEverything()) {
            outcome = QStringLiteral("read");
            continue;
        }
        RecordSheet::Keep keep = importKeep(false, {1, 2, 3, 4, 5, 6, 7});
        keep.expectedCells = sample.sheet.cellsOf(keep.fields);
        sample.sheet = RecordSheet();
        const RecordSheet::Loaded whole = RecordSheet::load(path, keep);
        outcome = whole.ok() ? QStringLiteral("read") : whole.message;
    }
    state.counters["process_peak_MB"] = bench::peakMemoryMb();
    state.counters["helper_peak_MB"] = helperPeakMb();
    state.SetLabel(outcome.left(90).toStdString());
}

struct Case {
    const char *name;
    std::function<QString(const QTemporaryDir &)> make;
    Road road;
};

void registerCases()
{
    static const QList<Case> cases = {
        // One 32,000-character number format under 65,000 cell formats (a few KB).
        {"Styles/bomb/mapping", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("styles")); }, Road::MappingThenImport},
        {"Styles/bomb/whole_book", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("styles")); }, Road::WholeBook},
        {"Styles/plain/mapping", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("plain"), 300); }, Road::MappingThenImport},
        // Three contacts among 208 million styled empty cells (2 GB of sheet XML, a few MB).
        {"StyledEmpties/bomb/mapping", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("empties")); }, Road::MappingThenImport},
        {"StyledEmpties/plain/mapping", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("plain"), 150000); }, Road::MappingThenImport},
        // A thousand shared texts split into one run per character.
        {"RichRuns/bomb/mapping", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("runs")); }, Road::MappingThenImport},
        {"RichRuns/plain/mapping", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("plain"), 20000); }, Road::MappingThenImport},
        // 11 million distinct shared texts: the mapping window's reading and the import's.
        {"DistinctTexts/bomb/mapping_then_import", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("texts")); }, Road::MappingThenImport},
        {"DistinctTexts/plain/mapping_then_import", [](const QTemporaryDir &d) { return generated(d, QStringLiteral("plain"), 1000000); }, Road::MappingThenImport},
        // Sixteen .xls sheets declaring 65,536 × 256 cells each (a few KB), beside the same file
        // declaring its real size.
        {"XlsGrids/bomb/whole_book", [](const QTemporaryDir &d) { return generatedXls(d, 16, 65536, 256); }, Road::WholeBook},
        {"XlsGrids/plain/whole_book", [](const QTemporaryDir &d) { return generatedXls(d, 16, 0, 0); }, Road::WholeBook},
    };
    for (const Case &c : cases) {
        benchmark::RegisterBenchmark(c.name, [c](benchmark::State &state) {
            QTemporaryDir dir;
            const QString path = c.make(dir);
            readAsTheUserDoes(state, path, c.road);
        })->Unit(benchmark::kMillisecond)->Iterations(1);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("BRISANTA_XLS_READER"))
        qputenv("BRISANTA_XLS_READER", BRISANTA_XLS_READER_PATH);
    registerCases();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
