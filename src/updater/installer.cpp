#include "updater/installer.h"

#include "brand/start_marker.h"
#include "brand/version_order.h"
#include "platform/files/durable_write.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "updater/client_processes.h"
#include "updater/install_record.h"
#include "updater/leftovers.h"
#include "updater/program_image.h"
#include "updater/replacement.h"
#include "updater/signature.h"
#include "updater/update_target.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace updater {
namespace {

constexpr std::chrono::milliseconds kStartPollInterval{100};

// Puts the install record back; the sentence to add to what the user is told when that failed, so
// that a release that is not installed is never taken for installed without a word.
QString putBackRecordText(const QString &target, const RecordSnapshot &snapshot)
{
    const QString problem = putBackRecord(target, snapshot);
    if (problem.isEmpty())
        return {};
    return QStringLiteral(" No se ha podido devolver el registro de la versión instalada a su estado anterior (%1). "
                          "Mientras siga así, el actualizador dará por instalada una versión que no lo está.")
        .arg(problem);
}

// What the user is told when the previous client could not be put back: where it still is, and how
// to use it again.
QString previousNotPutBackText(const QString &target, const ReplaceResult &restored)
{
    const QString previous = previousPath(target);
    if (!QFileInfo(previous).isFile())
        return restored.message;
    return restored.message
           + QStringLiteral(" La versión anterior del programa está en %1; cópiela como %2 para volver a usar el programa.")
                 .arg(previous, target);
}

// Why the file at `path` cannot be started, in a few words; empty when nothing stands in the way.
QString whyNotStartable(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("no se encuentra el archivo %1").arg(path);
    if (!file.isFile())
        return QStringLiteral("%1 no es un archivo").arg(path);
    if (::access(QFile::encodeName(path).constData(), R_OK | X_OK) != 0)
        return QStringLiteral("no se puede leer o ejecutar %1: %2").arg(path, files::systemReason(errno));
    return {};
}

std::chrono::milliseconds steadyNow()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace

Installer::Installer(ui::Prompter &prompter, ui::Shell &shell, QObject *parent)
    : QObject(parent), m_prompter(prompter), m_shell(shell), m_publicKey(releasePublicKey()), m_clock(steadyNow)
{
    m_startPoll.setInterval(kStartPollInterval);
    connect(&m_selfCheck, &SelfCheck::finished, this, &Installer::onSelfCheckFinished);
    connect(&m_startPoll, &QTimer::timeout, this, &Installer::onStartPoll);
    connect(&m_ender, &ClientEnder::finished, this, [this] {
        if (m_afterEnding)
            std::exchange(m_afterEnding, {})();
    });
}

void Installer::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(steadyNow);
}

QString Installer::failedText() const
{
    return QStringLiteral("La versión nueva de ") + productWord() + QStringLiteral(" Desktop no se ha podido iniciar");
}

void Installer::endClientsThen(std::function<void()> next)
{
    m_afterEnding = std::move(next);
    m_ender.start(m_target, m_clientGrace);
}

void Installer::install(const QString &target, const QString &download)
{
    m_running = true;
    m_target = target;
    m_download = download;
    m_recordBefore.reset();
    endClientsThen([this] { swapIn(); });
}

void Installer::swapIn()
{
    // The running client is kept until its successor has shown that it runs and has started.
    m_kept = keepPrevious(m_target);
    Q_EMIT stepReached(InstallStep::PreviousKept);

    // The version goes on record before the client changes: an updater ended from here on never
    // leaves an older release looking newer than the one installed.
    m_recordBefore = currentRecord(m_target);
    const QString recordProblem = recordInstalled(
        m_target, readSignedStatement(signatureLocation(m_download)).value_or(QByteArray()), m_publicKey);
    ReplaceResult swapped{false, {}};
    if (!recordProblem.isEmpty()) {
        swapped.message = QStringLiteral("No se ha podido anotar la versión que se va a instalar (%1). El programa "
                                         "instalado no se ha modificado.")
                              .arg(recordProblem);
    } else {
        Q_EMIT stepReached(InstallStep::VersionRecorded);
        swapped = replaceExecutable(m_download, m_target);
    }
    if (!swapped.ok) {
        QFile::remove(m_download);
        QFile::remove(signatureLocation(m_download));
        if (m_kept)
            QFile::remove(previousPath(m_target));
        swapped.message += putBackRecordText(m_target, *m_recordBefore);
        m_prompter.message(swapped.message, QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
        // The clients were ended: the one still installed is started again.
        m_shell.startProgram(m_target);
        return end(false);
    }
    Q_EMIT stepReached(InstallStep::Swapped);
    prove();
}

bool Installer::resume(const QString &target)
{
    if (m_running)
        return false;
    const QString previous = previousPath(target);
    m_target = target;
    m_kept = true;
    m_recordBefore.reset();
    m_download.clear();
    QString problem;
    if (!QFileInfo(previous).isFile()) {
        // Nothing half done; only what ended runs left (downloads, records being written, markers).
    } else if (!QFileInfo(target).isFile()) {
        // Ended between taking the client away and putting anything in its place. The previous client
        // is the only one there is: when it cannot go back it stays where it is, and the user is told.
        const ReplaceResult restored = restorePrevious(target);
        if (!restored.ok) {
            m_prompter.message(QStringLiteral("Una actualización anterior de ") + productWord()
                                   + QStringLiteral(" Desktop quedó a medias. ") + previousNotPutBackText(target, restored),
                               QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
            return false;
        }
        problem = settleRecordText();
    } else if (sameContent(target, previous)) {
        // Ended before the swap: the client in place is the one that was there. The checked download
        // it was about to be replaced with is installed now; without one there is nothing to finish.
        const QString pending = pendingRelease();
        if (!pending.isEmpty()) {
            removeMarkers();
            removeLeftovers(target, pending);
            install(target, pending);
            return true;
        }
        QFile::remove(previous);
        files::syncFolderOf(previous);
        problem = settleRecordText();
    } else if (statementOfTarget() == signatureLocation(target)) {
        // Ended after the new client had proven itself and its statement was kept: the installation
        // is over, and the client the user runs now is left alone.
        QFile::remove(previous);
        files::syncFolderOf(previous);
        problem = settleRecordText();
    } else {
        m_running = true;
        // A client started before the updater was ended may still run from the new file.
        endClientsThen([this] {
            removeMarkers();
            prove();
        });
        return true;
    }
    removeMarkers();
    removeLeftovers(target);
    if (!problem.isEmpty())
        m_prompter.message(QStringLiteral("Una actualización anterior de ") + productWord()
                               + QStringLiteral(" Desktop quedó a medias.") + problem,
                           QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
    return false;
}

QString Installer::pendingRelease() const
{
    // Never older than what is installed (the record already names the release about to be put in
    // place), whatever else was left in the folder; of several, the newest.
    const QString installed = installedVersion(m_target, m_publicKey);
    QString best;
    QString bestVersion;
    for (const QString &download : leftoverDownloads(m_target)) {
        const std::optional<ReleaseStatement> pending = clientStatementIn(signatureLocation(download), m_publicKey);
        if (!pending || brand::isNewer(installed, pending->version)
            || (!best.isEmpty() && !brand::isNewer(pending->version, bestVersion)) || !describesFile(*pending, download))
            continue;
        QFile file(download);
        if (!file.open(QIODevice::ReadOnly) || !isProgramImage(file.read(16)))
            continue;
        best = download;
        bestVersion = pending->version;
    }
    return best;
}

QString Installer::statementOfTarget() const
{
    QStringList candidates{signatureLocation(m_target)};
    if (!m_download.isEmpty())
        candidates.prepend(signatureLocation(m_download));
    // A swap an ended updater made: its download's statement is still among the leftovers.
    candidates += leftoverStatements(m_target);
    for (const QString &path : std::as_const(candidates)) {
        const std::optional<ReleaseStatement> statement = clientStatementIn(path, m_publicKey);
        if (statement && describesFile(*statement, m_target))
            return path;
    }
    return {};
}

void Installer::prove()
{
    // A client that ends as soon as it starts would still count as started.
    Q_EMIT stepReached(InstallStep::SelfCheckStarted);
    m_selfCheck.start(m_target, m_selfCheckLimit);
}

void Installer::onSelfCheckFinished(const SelfCheckResult &result)
{
    if (!result.ok)
        return takeBack(QStringLiteral(" (") + result.problem + QStringLiteral("). "));
    // Removed or spoilt since its check: said as it is, not as a start that failed for no reason.
    if (const QString problem = whyNotStartable(m_target); !problem.isEmpty())
        return takeBack(QStringLiteral(" (") + problem + QStringLiteral("). "));
    // The client removes the first once its window is up, and the second when it ends normally; one
    // that only gets as far as its self-check never removes either, and one that crashes keeps the
    // second.
    for (const QString &marker : {brand::startMarkerPath(m_target), brand::runMarkerPath(m_target)}) {
        QFile markerFile(marker);
        if (!markerFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            removeMarkers();
            return takeBack(QStringLiteral(" (no se puede crear %1: %2). ").arg(marker, markerFile.errorString()));
        }
    }
    if (!m_shell.startProgram(m_target)) {
        removeMarkers();
        const QString problem = whyNotStartable(m_target);
        return takeBack(QStringLiteral(" (") + (problem.isEmpty() ? QStringLiteral("el sistema no lo ha puesto en marcha") : problem)
                        + QStringLiteral("). "));
    }
    Q_EMIT stepReached(InstallStep::ClientStarted);
    m_watch = Watch::Window;
    m_watchFrom = m_clock();
    m_startPoll.start();
}

void Installer::onStartPoll()
{
    const QString startMarker = brand::startMarkerPath(m_target);
    const QString runMarker = brand::runMarkerPath(m_target);
    QString problem;
    if (m_watch == Watch::Window) {
        if (!QFileInfo::exists(startMarker)) {
            m_watch = Watch::Probation;
            m_watchFrom = m_clock();
            Q_EMIT stepReached(InstallStep::WindowShown);
        } else if (m_processLister(m_target).isEmpty()) {
            // It may have said so, and been closed, while the processes were being looked through.
            if (!QFileInfo::exists(startMarker))
                return;
            problem = QStringLiteral("se ha cerrado sin llegar a mostrar su ventana");
        } else if (m_clock() - m_watchFrom >= m_startLimit) {
            m_startPoll.stop();
            const QString late = QStringLiteral("no ha mostrado su ventana en %1 segundos")
                                     .arg(std::chrono::duration_cast<std::chrono::seconds>(m_startLimit).count());
            endClientsThen([this, late] { takeBack(QStringLiteral(" (") + late + QStringLiteral("). ")); });
            return;
        } else {
            return;
        }
    }
    if (problem.isEmpty()) {
        if (!QFileInfo::exists(runMarker))
            return succeed();
        if (m_processLister(m_target).isEmpty()) {
            if (!QFileInfo::exists(runMarker))
                return succeed();
            problem = QStringLiteral("se ha cerrado de forma inesperada poco después de mostrar su ventana");
        } else if (m_clock() - m_watchFrom >= m_probation) {
            return succeed();
        } else {
            return;
        }
    }
    m_startPoll.stop();
    takeBack(QStringLiteral(" (") + problem + QStringLiteral("). "));
}

void Installer::succeed()
{
    m_startPoll.stop();
    removeMarkers();
    // The statement stays beside the client: it tells the next update which release is installed.
    const QString statement = statementOfTarget();
    const QString kept = signatureLocation(m_target);
    if (!statement.isEmpty() && (statement == kept || moveOver(statement, kept).isEmpty()))
        Q_EMIT stepReached(InstallStep::StatementKept);
    if (m_kept) {
        QFile::remove(previousPath(m_target));
        files::syncFolderOf(m_target);
    }
    removeLeftovers(m_target);
    // Thanks are given only for an update that took place.
    m_prompter.message(QStringLiteral("Actualización completada. Muchas gracias por actualizar ") + productWord()
                           + QStringLiteral(" Desktop"),
                       QStringLiteral("Actualización completada"), ui::Icon::Information, ui::Buttons::Ok);
    end(true);
}

void Installer::takeBack(const QString &problem)
{
    m_startPoll.stop();
    removeMarkers();
    const QString failed = failedText() + problem;
    // The new client's statement goes with it; the previous client's stays.
    removeLeftovers(m_target);
    if (!m_kept)
        return fail(failed + QStringLiteral("No había una versión anterior que volver a poner."));
    const ReplaceResult restored = restorePrevious(m_target);
    if (!restored.ok)
        return fail(failed + previousNotPutBackText(m_target, restored));
    const QString recordText = m_recordBefore ? putBackRecordText(m_target, *m_recordBefore) : settleRecordText();
    m_shell.startProgram(m_target);
    fail(failed + QStringLiteral("Se ha vuelto a poner la versión anterior, que sigue instalada.") + recordText);
}

QString Installer::settleRecordText()
{
    const QString problem = settleRecord(m_target, m_publicKey);
    if (problem.isEmpty())
        return {};
    return QStringLiteral(" No se ha podido anotar la versión que queda instalada (%1). Mientras siga así, el "
                          "actualizador puede rechazar una versión que no está instalada.")
        .arg(problem);
}

void Installer::removeMarkers()
{
    QFile::remove(brand::startMarkerPath(m_target));
    QFile::remove(brand::runMarkerPath(m_target));
}

void Installer::fail(const QString &message)
{
    m_prompter.message(message, QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
    end(false);
}

void Installer::end(bool replaced)
{
    m_running = false;
    Q_EMIT finished(replaced);
}

} // namespace updater
