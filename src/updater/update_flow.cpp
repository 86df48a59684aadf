#include "updater/update_flow.h"

#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "updater/leftovers.h"
#include "updater/replacement.h"
#include "updater/signature.h"
#include "updater/update_target.h"

#include <QFile>
#include <QFileInfo>

namespace updater {
namespace {

QByteArray readFile(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

} // namespace

UpdateFlow::UpdateFlow(ui::Prompter &prompter, ui::Shell &shell, QNetworkAccessManager &network, QObject *parent)
    : QObject(parent), m_prompter(prompter), m_download(network), m_signatureDownload(network),
      m_installer(prompter, shell), m_publicKey(releasePublicKey()), m_run(newRunId())
{
    m_signatureDownload.setProgramExpected(false);
    // No signed statement is longer: anything that is, is not one.
    m_signatureDownload.setSizeLimit(signedStatementSizeLimit());
    connect(&m_download, &Download::progress, this, &UpdateFlow::onProgress);
    connect(&m_download, &Download::finished, this, &UpdateFlow::onFinished);
    connect(&m_signatureDownload, &Download::progress, this, &UpdateFlow::onProgress);
    connect(&m_signatureDownload, &Download::finished, this, &UpdateFlow::onSignatureFinished);
    connect(&m_installer, &Installer::finished, this, &UpdateFlow::onInstalled);
}

void UpdateFlow::setPublicKey(const QByteArray &publicKey)
{
    m_publicKey = publicKey;
    m_installer.setPublicKey(publicKey);
}

QString UpdateFlow::downloadPath() const
{
    return temporaryPath(m_target, m_run);
}

bool UpdateFlow::takeLock(const QString &target)
{
    const QString problem = m_lock.take(target);
    if (problem.isEmpty())
        return true;
    if (m_lock.busy()) {
        m_prompter.message(problem, QStringLiteral("Actualización en marcha"), ui::Icon::Information, ui::Buttons::Ok);
    } else {
        m_prompter.message(QStringLiteral("Hubo un error"), {}, ui::Icon::Critical, ui::Buttons::Ok);
        m_prompter.message(QStringLiteral("No se puede preparar la actualización (%1). Compruebe que tiene permiso "
                                          "de escritura en la carpeta del programa.")
                               .arg(problem),
                           {}, ui::Icon::Information, ui::Buttons::Ok);
    }
    return false;
}

void UpdateFlow::becomeIdle()
{
    m_lock.release();
    Q_EMIT downloadingChanged(false);
}

void UpdateFlow::resumeInterrupted(const QString &target)
{
    if (isBusy())
        return;
    m_target = target;
    if (!takeLock(target))
        return;
    // Said first: the work may also end before resume() returns.
    Q_EMIT downloadingChanged(true);
    if (!m_installer.resume(target))
        becomeIdle();
}

Download &UpdateFlow::activeDownload()
{
    return m_signatureDownload.isRunning() ? m_signatureDownload : m_download;
}

void UpdateFlow::startDownload(const QString &url, const QString &target)
{
    // A second start while one runs would write the same temporary file twice.
    if (isBusy())
        return;
    // Without the maker's key nothing downloaded could be told from a forgery: nothing is fetched.
    if (m_publicKey.isEmpty()) {
        m_prompter.message(missingKeyMessage(), QStringLiteral("Actualización no disponible"), ui::Icon::Critical,
                           ui::Buttons::Ok);
        Q_EMIT attemptFinished(false);
        return;
    }
    m_target = target;
    if (!takeLock(target)) {
        Q_EMIT attemptFinished(false);
        return;
    }
    // An installation an ended updater left half done comes first: over it, the client kept as the
    // previous one would be lost.
    Q_EMIT downloadingChanged(true);
    if (QFileInfo::exists(previousPath(target)) && m_installer.resume(target))
        return;
    m_url = url;
    // What ended runs left: a download cut short, a statement without its program, a record half
    // written. Under the lock none of it belongs to a run still going.
    removeLeftovers(target);
    m_download.start(url, downloadPath());
}

void UpdateFlow::cancel()
{
    if (m_installer.isRunning())
        return;
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
        m_signatureDownload.start(signatureLocation(m_url), signatureLocation(downloadPath()));
        return;
    }
    // A refused or cut download is of no use to a later attempt, and must not be started by hand.
    discardDownloads();
    becomeIdle();
    if (result.error)
        m_prompter.message(QStringLiteral("Hubo un error"), {}, ui::Icon::Critical, ui::Buttons::Ok);
    m_prompter.message(result.status, {}, ui::Icon::Information, ui::Buttons::Ok);
    Q_EMIT attemptFinished(false);
    if (m_cancelRequested)
        Q_EMIT endRequested();
}

void UpdateFlow::onSignatureFinished(const DownloadResult &result)
{
    if (!result.ok()) {
        const bool cancelled = !result.error;
        // The program itself arrived whole: what is missing is its signature, and the text says so.
        refuse(cancelled ? result.status
                         : QStringLiteral("La versión descargada no se ha instalado: el programa ha llegado completo, "
                                          "pero no se ha podido obtener su firma (%1). El programa instalado no se "
                                          "ha modificado.")
                               .arg(result.reason));
        if (m_cancelRequested)
            Q_EMIT endRequested();
        return;
    }
    bool programRead = false;
    bool signatureRead = false;
    const QByteArray program = readFile(downloadPath(), &programRead);
    const QByteArray signature = readFile(signatureLocation(downloadPath()), &signatureRead);
    if (!programRead || !signatureRead) {
        refuse(QStringLiteral("No se puede leer la versión descargada en %1. El programa instalado no se ha "
                              "modificado.")
                   .arg(downloadPath()));
        return;
    }
    const ReleaseCheck check = checkRelease(program, signature, m_publicKey, installedVersion(m_target, m_publicKey));
    if (!check.ok) {
        refuse(check.message);
        return;
    }
    m_installer.install(m_target, downloadPath());
}

void UpdateFlow::onInstalled(bool replaced)
{
    becomeIdle();
    Q_EMIT attemptFinished(replaced);
    Q_EMIT endRequested();
}

void UpdateFlow::refuse(const QString &message)
{
    // Nothing that failed the checks stays in the program folder, where it could be started by hand.
    discardDownloads();
    becomeIdle();
    m_prompter.message(message, QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
    Q_EMIT attemptFinished(false);
}

void UpdateFlow::discardDownloads()
{
    QFile::remove(downloadPath());
    QFile::remove(signatureLocation(downloadPath()));
}

} // namespace updater
