#include "updater/installer.h"

#include "brand/start_marker.h"
#include "brand/version_order.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "updater/client_processes.h"
#include "updater/install_record.h"
#include "updater/program_image.h"
#include "updater/replacement.h"
#include "updater/signature.h"
#include "updater/update_target.h"

#include <QFile>
#include <QFileInfo>

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

} // namespace

Installer::Installer(ui::Prompter &prompter, ui::Shell &shell, QObject *parent)
    : QObject(parent), m_prompter(prompter), m_shell(shell), m_publicKey(releasePublicKey())
{
    m_startPoll.setInterval(kStartPollInterval);
    connect(&m_selfCheck, &SelfCheck::finished, this, &Installer::onSelfCheckFinished);
    connect(&m_startPoll, &QTimer::timeout, this, &Installer::onStartPoll);
}

QString Installer::temporary() const
{
    return temporaryPath(m_target);
}

QString Installer::failedText() const
{
    return QStringLiteral("La versión nueva de ") + productWord() + QStringLiteral(" Desktop no se ha podido iniciar");
}

void Installer::install(const QString &target)
{
    m_running = true;
    m_target = target;
    endClientProcesses(m_target, m_clientGrace);
    // The running client is kept until its successor has shown that it runs and has started.
    m_kept = keepPrevious(m_target);
    Q_EMIT stepReached(InstallStep::PreviousKept);

    // The version goes on record before the client changes: an updater ended from here on never
    // leaves an older release looking newer than the one installed.
    m_recordBefore = currentRecord(m_target);
    const QString recordProblem = recordInstalled(
        m_target, readSignedStatement(signatureLocation(temporary())).value_or(QByteArray()), m_publicKey);
    ReplaceResult swapped{false, {}};
    if (!recordProblem.isEmpty()) {
        swapped.message = QStringLiteral("No se ha podido anotar la versión que se va a instalar (%1). El programa "
                                         "instalado no se ha modificado.")
                              .arg(recordProblem);
    } else {
        Q_EMIT stepReached(InstallStep::VersionRecorded);
        swapped = replaceExecutable(temporary(), m_target);
    }
    if (!swapped.ok) {
        QFile::remove(temporary());
        QFile::remove(signatureLocation(temporary()));
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
    const QString previous = previousPath(target);
    if (m_running || !QFileInfo(previous).isFile())
        return false;
    m_target = target;
    m_kept = true;
    m_recordBefore.reset();
    if (!QFileInfo(target).isFile()) {
        // Ended between taking the client away and putting anything in its place. The previous client
        // is the only one there is: when it cannot go back it stays where it is, and the user is told.
        const ReplaceResult restored = restorePrevious(target);
        if (!restored.ok)
            m_prompter.message(QStringLiteral("Una actualización anterior de ") + productWord()
                                   + QStringLiteral(" Desktop quedó a medias. ") + previousNotPutBackText(target, restored),
                               QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
        return false;
    }
    if (sameContent(target, previous)) {
        // Ended before the swap: the client in place is the one that was there. The checked download
        // it was about to be replaced with is installed now; without one there is nothing to finish.
        if (pendingReleaseReady()) {
            install(target);
            return true;
        }
        QFile::remove(previous);
        syncFolderOf(previous);
        return false;
    }
    m_running = true;
    // A client started before the updater was ended may still run from the new file.
    endClientProcesses(m_target, m_clientGrace);
    prove();
    return true;
}

bool Installer::pendingReleaseReady() const
{
    const std::optional<ReleaseStatement> pending = clientStatementIn(signatureLocation(temporary()), m_publicKey);
    if (!pending || !describesFile(*pending, temporary()))
        return false;
    QFile file(temporary());
    if (!file.open(QIODevice::ReadOnly) || !isProgramImage(file.read(16)))
        return false;
    // Never older than what is installed, whatever else was left in the folder.
    return !brand::isNewer(installedVersion(m_target, m_publicKey), pending->version);
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
    // The client removes this file once its window is up; one that only gets as far as its self-check
    // never does.
    const QString marker = brand::startMarkerPath(m_target);
    QFile markerFile(marker);
    if (!markerFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return takeBack(QStringLiteral(" (no se puede crear %1: %2). ").arg(marker, markerFile.errorString()));
    markerFile.close();
    if (!m_shell.startProgram(m_target)) {
        QFile::remove(marker);
        return takeBack(QStringLiteral(". "));
    }
    Q_EMIT stepReached(InstallStep::ClientStarted);
    m_startClock.start();
    m_startPoll.start();
}

void Installer::onStartPoll()
{
    const QString marker = brand::startMarkerPath(m_target);
    if (!QFileInfo::exists(marker))
        return succeed();
    QString problem;
    if (m_processLister(m_target).isEmpty()) {
        // It may have said so, and been closed, while the processes were being looked through.
        if (!QFileInfo::exists(marker))
            return succeed();
        problem = QStringLiteral("se ha cerrado sin llegar a mostrar su ventana");
    } else if (std::chrono::milliseconds(m_startClock.elapsed()) >= m_startLimit) {
        problem = QStringLiteral("no ha mostrado su ventana en %1 segundos")
                      .arg(std::chrono::duration_cast<std::chrono::seconds>(m_startLimit).count());
        endClientProcesses(m_target, m_clientGrace);
    } else {
        return;
    }
    m_startPoll.stop();
    QFile::remove(marker);
    takeBack(QStringLiteral(" (") + problem + QStringLiteral("). "));
}

void Installer::succeed()
{
    m_startPoll.stop();
    // The statement stays beside the client: it tells the next update which release is installed.
    const QString pending = signatureLocation(temporary());
    const std::optional<ReleaseStatement> statement = clientStatementIn(pending, m_publicKey);
    if (statement && describesFile(*statement, m_target) && moveOver(pending, signatureLocation(m_target)).isEmpty())
        Q_EMIT stepReached(InstallStep::StatementKept);
    else
        QFile::remove(pending);
    if (m_kept) {
        QFile::remove(previousPath(m_target));
        syncFolderOf(m_target);
    }
    // Thanks are given only for an update that took place.
    m_prompter.message(QStringLiteral("Actualización completada. Muchas gracias por actualizar ") + productWord()
                           + QStringLiteral(" Desktop"),
                       QStringLiteral("Actualización completada"), ui::Icon::Information, ui::Buttons::Ok);
    end(true);
}

void Installer::takeBack(const QString &problem)
{
    const QString failed = failedText() + problem;
    // The new client's statement goes with it; the previous client's stays.
    QFile::remove(signatureLocation(temporary()));
    if (!m_kept)
        return fail(failed + QStringLiteral("No había una versión anterior que volver a poner."));
    const ReplaceResult restored = restorePrevious(m_target);
    if (!restored.ok)
        return fail(failed + previousNotPutBackText(m_target, restored));
    const QString recordText = m_recordBefore ? putBackRecordText(m_target, *m_recordBefore) : QString();
    m_shell.startProgram(m_target);
    fail(failed + QStringLiteral("Se ha vuelto a poner la versión anterior, que sigue instalada.") + recordText);
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
