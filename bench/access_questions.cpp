// The Access import of a 200,000-row table that asks about 74 phones already in the contacts, each
// answered on its own, beside its floor: the same run over contacts that hold the same 74 phones
// with the same data, so no question is asked. Target: within 3 times the floor.
//   bench_access_questions
#include "bench_data.h"
#include "database/schema.h"
#include "importexport/access/access_import.h"
#include "importexport/access/access_settings.h"
#include "platform/db/connection.h"
#include "platform/mdb/access_file.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace importexport::access;

constexpr int kRows = 200000;
constexpr int kQuestions = 74;

// The 200,000-row table, made once.
const mdb::Table &table()
{
    static const mdb::Table t = bench::accessContacts(kRows);
    return t;
}

// A fresh client database holding the contacts of 74 rows spread over the table: under another
// name (each one a question) or under the same data (none).
QString bookWith(const QTemporaryDir &dir, bool otherNames)
{
    const QString path = dir.filePath(QStringLiteral("bbdd.mdb"));
    db::Connection db;
    db.open(path, db::OpenMode::CreateIfMissing);
    database::createSchema(db);
    const Mapping m = defaultMapping(4);
    for (int q = 0; q < kQuestions; ++q) {
        const int i = (q * 2 + 1) * (kRows / (2 * kQuestions));
        const ImportedContact c = contactFromRow(table().rows[size_t(i)], table().columnNames(), m);
        db.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario) "
                                  "VALUES (?1,?2,?3,'','','')"),
                   {otherNames ? QStringLiteral("Otro %1").arg(q) : c.name.toString(), c.phone, c.fullName.toString()});
    }
    return path;
}

void run(benchmark::State &state, bool questions)
{
    table();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        db::Connection connection;
        connection.open(bookWith(dir, questions));
        auto rows = std::make_unique<TableRows>(table());
        state.ResumeTiming();

        AccessImport import(connection);
        RunOutcome out = import.start(std::move(rows), defaultMapping(4));
        int asked = 0;
        while (out.status == RunStatus::Conflict) {
            ++asked;
            out = import.resume(Decision{asked % 2 == 1, false, asked % 2 == 0, false});
        }

        state.PauseTiming();
        if (out.status != RunStatus::Finished || asked != (questions ? kQuestions : 0))
            state.SkipWithError("the run did not ask what it should");
        state.counters["questions"] = asked;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_AccessImport_74Questions(benchmark::State &state) { run(state, true); }
BENCHMARK(BM_AccessImport_74Questions)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_AccessImport_74QuestionsFloor(benchmark::State &state) { run(state, false); }
BENCHMARK(BM_AccessImport_74QuestionsFloor)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BRISANTA_WIDGETS_BENCHMARK_MAIN()
