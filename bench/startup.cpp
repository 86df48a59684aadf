// Start-up of the whole client as the user meets it: from the moment the program is launched
// until its main window shows its data, on a database of 100,000 contacts and 100,000 sends.
//
// Each start runs as a process of its own (this executable, started again as a start-up driver),
// timed from launch to its exit right after the window is loaded; peak memory is that whole
// process's. The floor is a process of the same executable that only opens the same file with
// the key and compacts it; the file is already compacted, as every start leaves it, so the floor
// is the least any start can do. Both run in the same iteration, on the same file.
#include "app/client.h"
#include "bench_data.h"
#include "database/opening.h"
#include "platform/ui/shell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char *kClientDriver = "--start-client";
constexpr const char *kFloorDriver = "--open-key-vacuum";
// Writes the generated, compacted database to a path: for profiling one driver by hand.
constexpr const char *kSeed = "--seed";

class NoShell final : public ui::Shell {
public:
    bool openUrl(const QString &) override { return true; }
    bool startProgram(const QString &, const QStringList &) override { return true; }
};

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The driver's last word: its peak memory and the processor time it used, then an immediate
// exit. What the program does after its window is loaded (tearing it down) is not start-up.
[[noreturn]] void reportAndExit(bool ok)
{
    std::printf("%s %.1f %.1f\n", ok ? "ok" : "failed", bench::peakMemoryMb(), cpuMs());
    std::fflush(stdout);
    std::_Exit(ok ? 0 : 1);
}

// The client program's start, up to the main window with its lists filled.
[[noreturn]] void runClient(int argc, char **argv)
{
    // No gateway answers here: the version check fails at once and the balance stays unknown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("BRISANTA_URL_BASE", "http://127.0.0.1:9/");
    QApplication app(argc, argv);
    bench::SilentPrompter prompter;
    NoShell shell;
    app::Client client(prompter, shell);
    const bool ok = client.start() == startup::StartupStatus::Ready && client.mainWindow().isVisible();
    QCoreApplication::processEvents();
    reportAndExit(ok);
}

[[noreturn]] void runFloor(const char *path)
{
    sqlite3 *raw = bench::openRaw(QFile::decodeName(path));
    const bool ok = sqlite3_exec(raw, "VACUUM", nullptr, nullptr, nullptr) == SQLITE_OK;
    reportAndExit(ok);
}

struct Launch {
    bool ok = false;
    double ms = 0;
    double peakMb = 0;
    double cpuMs = 0;           // steadier than the wall clock on a busy machine
};

Launch launch(const QStringList &arguments, const QString &home)
{
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BRISANTA_HOME"), home);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start();
    const bool finished = process.waitForFinished(-1);
    Launch result;
    result.ms = double(clock.nsecsElapsed()) / 1e6;
    const QList<QByteArray> words = process.readAllStandardOutput().trimmed().split(' ');
    result.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
        && words.value(0) == "ok";
    result.peakMb = words.value(1).toDouble();
    result.cpuMs = words.value(2).toDouble();
    return result;
}

// The generated database, compacted: the state every start leaves the file in.
QString seedCompacted(const QString &file)
{
    bench::seedLargeDatabase(file);
    sqlite3 *raw = bench::openRaw(file);
    sqlite3_exec(raw, "VACUUM", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    return file;
}

const QString &templateDatabase()
{
    static QTemporaryDir dir;
    static const QString path = seedCompacted(dir.filePath(QStringLiteral("plantilla.mdb")));
    return path;
}

// The skin the program folder carries, from the source tree.
QString skinFile()
{
    return QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../src/platform/ui/skins/Virizu.skn"));
}

// range(0) 1: a later start, on a file an earlier start has already settled (stored its defaults
// and compacted it); 0: the first start on the delivered file.
void BM_StartupProcess(benchmark::State &state)
{
    const bool later = state.range(0) == 1;
    for (auto _ : state) {
        QTemporaryDir home;
        const QString local = database::localDatabasePath(home.path());
        QFile::copy(templateDatabase(), local);
        // The program folder as installed: the skin beside the database.
        QFile::copy(skinFile(), home.filePath(QStringLiteral("Virizu.skn")));
        if (later && !launch({QString::fromLatin1(kClientDriver)}, home.path()).ok) {
            state.SkipWithError("the earlier start failed");
            break;
        }
        const Launch floor = launch({QString::fromLatin1(kFloorDriver), local}, home.path());
        if (!later) {
            // The floor compacted the file: give the first start its delivered file back.
            QFile::remove(local);
            QFile::copy(templateDatabase(), local);
        }
        const Launch client = launch({QString::fromLatin1(kClientDriver)}, home.path());
        if (!floor.ok || !client.ok) {
            state.SkipWithError("a start did not finish");
            break;
        }
        state.SetIterationTime(client.ms / 1000.0);
        state.counters["floor_ms"] = floor.ms;
        state.counters["vs_floor"] = client.ms / floor.ms;
        state.counters["cpu_ms"] = client.cpuMs;
        state.counters["floor_cpu_ms"] = floor.cpuMs;
        state.counters["cpu_vs_floor"] = client.cpuMs / floor.cpuMs;
        state.counters["peak_MB"] = client.peakMb;
        state.counters["floor_peak_MB"] = floor.peakMb;
    }
}
BENCHMARK(BM_StartupProcess)
    ->ArgName("later")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);

} // namespace

int main(int argc, char **argv)
{

    if (argc >= 2 && std::strcmp(argv[1], kClientDriver) == 0)
        runClient(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], kFloorDriver) == 0)
        runFloor(argv[2]);

    QCoreApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], kSeed) == 0) {
        seedCompacted(QFile::decodeName(argv[2]));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
