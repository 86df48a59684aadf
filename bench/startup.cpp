// Start-up of the whole client, from nothing to the main window shown, on a large database.
#include "app/client.h"
#include "bench_data.h"
#include "platform/ui/shell.h"
#include "startup/database/opening.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

class NoShell final : public ui::Shell {
public:
    bool openUrl(const QString &) override { return true; }
    bool startProgram(const QString &, const QStringList &) override { return true; }
};

const QString &templateDatabase()
{
    static QTemporaryDir dir;
    static const QString path = bench::seedLargeDatabase(dir.filePath(QStringLiteral("plantilla.mdb")));
    return path;
}

// range(0) 1: the account's settings were stored by an earlier start (every start but the first);
// 0: the first start, which also writes them.
void BM_StartupToMainWindow(benchmark::State &state)
{
    const QString source = templateDatabase();
    bench::SilentPrompter prompter;
    NoShell shell;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir home;
        const QString local = startup::localDatabasePath(home.path());
        QFile::copy(source, local);
        if (state.range(0) == 1) {
            db::Connection earlier;
            earlier.open(local);
            earlier.execute(QStringLiteral("UPDATE Usuario SET ruta_bbdd=?1"), {local});
        }
        qputenv("BRISANTA_HOME", home.path().toLocal8Bit());
        state.ResumeTiming();
        {
            app::Client client(prompter, shell);
            if (client.start() != startup::StartupStatus::Ready || !client.mainWindow().isVisible())
                state.SkipWithError("the client did not start");
            QCoreApplication::processEvents();
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToMainWindow)->ArgName("settled")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the same file opened with the key and compacted, nothing else.
void BM_StartupFloor_OpenKeyVacuum(benchmark::State &state)
{
    const QString source = templateDatabase();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir home;
        const QString path = startup::localDatabasePath(home.path());
        QFile::copy(source, path);
        state.ResumeTiming();
        sqlite3 *raw = bench::openRaw(path);
        if (sqlite3_exec(raw, "VACUUM", nullptr, nullptr, nullptr) != SQLITE_OK)
            state.SkipWithError("VACUUM failed");
        sqlite3_close(raw);
    }
}
BENCHMARK(BM_StartupFloor_OpenKeyVacuum)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No gateway answers here: the version check fails at once and the balance stays unknown.
    qputenv("BRISANTA_URL_BASE", "http://127.0.0.1:9/");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
