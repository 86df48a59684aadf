// brisanta-gateway-sim: the gateway simulator as a program, for demos and manual runs.
// Prints its base URL on the first line of stdout and serves until SIGINT or SIGTERM.
#include "gateway-sim/gateway_simulator.h"
#include "gateway-sim/release_signing.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

int main(int argc, char *argv[])
{
    // Block the stop signals before any thread exists so every thread inherits the mask and
    // only the sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brisanta-gateway-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulador de la pasarela SMS (solo pruebas y demostraciones)."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Puerto en 127.0.0.1 (0 = uno libre)."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
                                        QStringLiteral("Crea la cuenta de demostración demo/demo."));
    const QCommandLineOption dataOption(QStringLiteral("data"),
                                        QStringLiteral("Carpeta de los ficheros de extranet/Descargas/."),
                                        QStringLiteral("folder"));
    const QCommandLineOption versionOption(QStringLiteral("version-text"),
                                           QStringLiteral("Respuesta de desktop_version.php."), QStringLiteral("text"));
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("Archivo donde se guardan, y de donde se recuperan al arrancar, las cuentas, su saldo, los "
                       "envíos y el siguiente identificador de envío."),
        QStringLiteral("file"));
    const QCommandLineOption releaseKeyOption(
        QStringLiteral("print-release-key"),
        QStringLiteral("Escribe la clave pública de pruebas con la que se firman las descargas y termina."));
    parser.addOptions({portOption, demoOption, dataOption, versionOption, stateOption, releaseKeyOption});
    parser.process(app);
    if (parser.isSet(releaseKeyOption)) {
        std::printf("%s\n", sim::testReleasePublicKey().toHex().constData());
        return 0;
    }

    bool portOk = false;
    const int port = parser.value(portOption).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535) {
        std::fprintf(stderr, "Puerto no válido: %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    sim::GatewaySimulator simulator;
    // For the crash tests only: BRISANTA_SIM_KILL_AT_STEP=N ends the program at once (SIGKILL)
    // before the N-th step of writing the state file, counted from the start.
    const int killAtStep = qEnvironmentVariableIntValue("BRISANTA_SIM_KILL_AT_STEP");
    if (killAtStep > 0) {
        simulator.setStateWriteHook([killAtStep, steps = 0]() mutable {
            if (++steps == killAtStep)
                ::raise(SIGKILL);
        });
    }
    if (parser.isSet(stateOption)) {
        QString error;
        if (!simulator.useStateFile(parser.value(stateOption), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    if (parser.isSet(demoOption))
        simulator.installDemo();
    if (parser.isSet(dataOption))
        simulator.setDownloadFolder(parser.value(dataOption));
    if (parser.isSet(versionOption))
        simulator.setVersionText(parser.value(versionOption));
    if (!simulator.start(port)) {
        std::fprintf(stderr, "No se puede escuchar en 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("%s\n", qPrintable(simulator.baseUrl()));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    simulator.stop();
    return 0;
}
