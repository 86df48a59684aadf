#include "updater/update_flow.h"

#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "updater/client_processes.h"
#include "updater/replacement.h"
#include "updater/self_check.h"
#include "updater/signature.h"
#include "updater/update_target.h"

#include <QFile>
#include <QFileInfo>

namespace updater {
namespace {

// A signed statement is a few hundred bytes; anything much longer is not one.
constexpr qint64 kSignatureSizeLimit = 4096;

QByteArray readFile(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

// Puts a file in another's place; the other goes first, as QFile::rename does not replace.
bool moveOver(const QString &from, const QString &to)
{
    if (QFileInfo::exists(to) && !QFile::remove(to))
        return false;
    return QFile::rename(from, to);
}

} // namespace

UpdateFlow::UpdateFlow(ui::Prompter &prompter, ui::Shell &shell, QNetworkAccessManager &network, QObject *parent)
    : QObject(parent), m_prompter(prompter), m_shell(shell), m_download(network), m_signatureDownload(network),
      m_publicKey(releasePublicKey())
{
    m_signatureDownload.setProgramExpected(false);
    m_signatureDownload.setSizeLimit(kSignatureSizeLimit);
    connect(&m_download, &Download::progress, this, &UpdateFlow::onProgress);
    connect(&m_download, &Download::finished, this, &UpdateFlow::onFinished);
    connect(&m_signatureDownload, &Download::progress, this, &UpdateFlow::onProgress);
    connect(&m_signatureDownload, &Download::finished, this, &UpdateFlow::onSignatureFinished);
}

Download &UpdateFlow::activeDownload()
{
    return m_signatureDownload.isRunning() ? m_signatureDownload : m_download;
}

void UpdateFlow::startDownload(const QString &url, const QString &target)
{
    // A second start while one runs would write the same temporary file twice.
    if (isDownloading())
        return;
    // Without the maker's key nothing downloaded could be told from a forgery: nothing is fetched.
    if (m_publicKey.isEmpty()) {
        m_prompter.message(missingKeyMessage(), QStringLiteral("Actualización no disponible"), ui::Icon::Critical,
                           ui::Buttons::Ok);
        Q_EMIT attemptFinished(false);
        return;
    }
    m_url = url;
    m_target = target;
    const QString temporary = temporaryPath(target);
    // Leftovers of an earlier attempt; when one cannot go, creating the file fails and says so.
    for (const QString &leftover : {temporary, signatureLocation(temporary)}) {
        if (QFileInfo::exists(leftover))
            QFile::remove(leftover);
    }
    m_download.start(url, temporary);
    Q_EMIT downloadingChanged(true);
}

void UpdateFlow::cancel()
{
    if (activeDownload().httpStatus() != QStringLiteral("200")) {
        Q_EMIT endRequested();
        return;
    }
    m_cancelRequested = true;
}

void UpdateFlow::onProgress(const Progress &progress)
{
    if (m_cancelRequested) {
        m_cancelRequested = false;
        activeDownload().cancel();
    }
    // The signature's few bytes would only make the client's figures jump.
    if (sender() == &m_download)
        Q_EMIT progressed(progress);
}

void UpdateFlow::onFinished(const DownloadResult &result)
{
    if (result.ok()) {
        // The client arrived whole; its signature decides whether it is installed.
        m_signatureDownload.start(signatureLocation(m_url), signatureLocation(temporaryPath(m_target)));
        return;
    }
    Q_EMIT downloadingChanged(false);
    // A refused or cut download is of no use to a later attempt, and must not be started by hand.
    discardDownloads();
    if (result.error)
        m_prompter.message(QStringLiteral("Hubo un error"), {}, ui::Icon::Critical, ui::Buttons::Ok);
    m_prompter.message(result.status, {}, ui::Icon::Information, ui::Buttons::Ok);
    Q_EMIT attemptFinished(false);
    if (m_cancelRequested)
        Q_EMIT endRequested();
}

void UpdateFlow::onSignatureFinished(const DownloadResult &result)
{
    Q_EMIT downloadingChanged(false);
    if (!result.ok()) {
        const bool cancelled = !result.error;
        refuse(cancelled ? result.status
                         : QStringLiteral("La versión descargada no se ha instalado: no se ha podido obtener su "
                                          "firma (%1) El programa instalado no se ha modificado.")
                               .arg(result.status));
        if (m_cancelRequested)
            Q_EMIT endRequested();
        return;
    }
    bool programRead = false;
    bool signatureRead = false;
    const QByteArray program = readFile(temporaryPath(m_target), &programRead);
    const QByteArray signature = readFile(signatureLocation(temporaryPath(m_target)), &signatureRead);
    if (!programRead || !signatureRead) {
        refuse(QStringLiteral("No se puede leer la versión descargada en %1. El programa instalado no se ha "
                              "modificado.")
                   .arg(temporaryPath(m_target)));
        return;
    }
    const ReleaseCheck check = checkRelease(program, signature, m_publicKey, installedVersion(m_target, m_publicKey));
    if (!check.ok) {
        refuse(check.message);
        return;
    }
    const bool replaced = replaceClient();
    Q_EMIT attemptFinished(replaced);
    Q_EMIT endRequested();
}

void UpdateFlow::refuse(const QString &message)
{
    // Nothing that failed the checks stays in the program folder, where it could be started by hand.
    discardDownloads();
    m_prompter.message(message, QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
    Q_EMIT attemptFinished(false);
}

void UpdateFlow::discardDownloads()
{
    QFile::remove(temporaryPath(m_target));
    QFile::remove(signatureLocation(temporaryPath(m_target)));
}

bool UpdateFlow::replaceClient()
{
    const QString temporary = temporaryPath(m_target);
    endClientProcesses(m_target, m_clientGrace);
    // The running client is kept until its successor has shown that it runs and has started.
    const bool kept = keepPrevious(m_target);
    const ReplaceResult result = replaceExecutable(temporary, m_target);
    if (!result.ok) {
        discardDownloads();
        if (kept)
            QFile::remove(previousPath(m_target));
        m_prompter.message(result.message, QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
        // The clients were ended: the one still installed is started again.
        m_shell.startProgram(m_target);
        return false;
    }
    const QString failed = QStringLiteral("La versión nueva de ") + productWord()
                           + QStringLiteral(" Desktop no se ha podido iniciar");
    // A client that ends as soon as it starts would still count as started.
    const SelfCheckResult check = runSelfCheck(m_target, m_selfCheckLimit);
    if (!check.ok)
        return takeBack(failed + QStringLiteral(" (") + check.problem + QStringLiteral("). "), kept);
    if (!m_shell.startProgram(m_target))
        return takeBack(failed + QStringLiteral(". "), kept);
    if (kept)
        QFile::remove(previousPath(m_target));
    // The statement stays beside the client: it tells the next update which release is installed.
    if (!moveOver(signatureLocation(temporary), signatureLocation(m_target)))
        QFile::remove(signatureLocation(temporary));
    // Thanks are given only for an update that took place.
    m_prompter.message(QStringLiteral("Actualización completada. Muchas gracias por actualizar ") + productWord()
                           + QStringLiteral(" Desktop"),
                       QStringLiteral("Actualización completada"), ui::Icon::Information, ui::Buttons::Ok);
    return true;
}

bool UpdateFlow::takeBack(const QString &failed, bool kept)
{
    // The new client's statement goes with it; the previous client's stays.
    QFile::remove(signatureLocation(temporaryPath(m_target)));
    if (!kept) {
        m_prompter.message(failed + QStringLiteral("No había una versión anterior que volver a poner."),
                           QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
        return false;
    }
    const ReplaceResult restored = restorePrevious(m_target);
    if (!restored.ok) {
        m_prompter.message(failed + restored.message, QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
        return false;
    }
    m_shell.startProgram(m_target);
    m_prompter.message(failed + QStringLiteral("Se ha vuelto a poner la versión anterior, que sigue instalada."),
                       QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
    return false;
}

} // namespace updater
