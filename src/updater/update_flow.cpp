#include "updater/update_flow.h"

#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "updater/client_processes.h"
#include "updater/replacement.h"
#include "updater/update_target.h"

#include <QFile>
#include <QFileInfo>

namespace updater {

UpdateFlow::UpdateFlow(ui::Prompter &prompter, ui::Shell &shell, QNetworkAccessManager &network, QObject *parent)
    : QObject(parent), m_prompter(prompter), m_shell(shell), m_download(network)
{
    connect(&m_download, &Download::progress, this, &UpdateFlow::onProgress);
    connect(&m_download, &Download::finished, this, &UpdateFlow::onFinished);
}

void UpdateFlow::descargar(const QString &url, const QString &target)
{
    // A second start while one runs would write the same temporary file twice.
    if (m_download.isRunning())
        return;
    m_target = target;
    const QString temporary = temporaryPath(target);
    // A leftover of an earlier attempt; when it cannot go, creating the file fails and says so.
    if (QFileInfo::exists(temporary))
        QFile::remove(temporary);
    m_download.start(url, temporary);
    Q_EMIT downloadingChanged(true);
}

void UpdateFlow::cancelar()
{
    if (m_download.httpStatus() != QStringLiteral("200")) {
        Q_EMIT endRequested();
        return;
    }
    m_cancelarDescarga = true;
}

void UpdateFlow::onProgress(const Progress &progress)
{
    if (m_cancelarDescarga) {
        m_cancelarDescarga = false;
        m_download.cancel();
    }
    Q_EMIT progressed(progress);
}

void UpdateFlow::onFinished(const DownloadResult &result)
{
    Q_EMIT downloadingChanged(false);
    if (result.error)
        m_prompter.message(QStringLiteral("Hubo un error"), {}, ui::Icon::Critical, ui::Buttons::Ok);
    if (!result.ok()) {
        m_prompter.message(result.status, {}, ui::Icon::Information, ui::Buttons::Ok);
        Q_EMIT attemptFinished(false);
        if (m_cancelarDescarga)
            Q_EMIT endRequested();
        return;
    }
    const bool replaced = replaceClient();
    // The installed client is started in every case: the new one, or the old one when the swap
    // failed, so the user is never left without the program that was running.
    m_shell.startProgram(m_target);
    Q_EMIT attemptFinished(replaced);
    Q_EMIT endRequested();
}

bool UpdateFlow::replaceClient()
{
    endClientProcesses(m_target, m_clientGrace);
    const ReplaceResult result = replaceExecutable(temporaryPath(m_target), m_target);
    // Thanks are given only for an update that took place.
    if (!result.ok) {
        m_prompter.message(result.message, QStringLiteral("Error"), ui::Icon::Critical, ui::Buttons::Ok);
        return false;
    }
    m_prompter.message(QStringLiteral("Actualización completada. Muchas gracias por actualizar ") + productWord()
                           + QStringLiteral(" Desktop"),
                       QStringLiteral("Actualización completada"), ui::Icon::Information, ui::Buttons::Ok);
    return true;
}

} // namespace updater
