#pragma once

#include "updater/download.h"
#include "updater/install_lock.h"
#include "updater/installer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

class QNetworkAccessManager;

namespace ui {
class Prompter;
class Shell;
} // namespace ui

namespace updater {

// What "Descargar" and "Cancelar" do, without the window: the download of the new client and of
// its signed statement into temporary files and the check that the maker signed it as a newer
// release of this client; the installation itself (the end of the running clients, the swap, the
// proof that the new client runs and shows its window) is the installer's (installer.h). From the
// first file it writes to the end of the installation the flow holds the folder's install lock, and
// its downloads have names of this run's own.
class UpdateFlow final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateFlow)

public:
    UpdateFlow(ui::Prompter &prompter, ui::Shell &shell, QNetworkAccessManager &network,
               QObject *parent = nullptr);

    Download &download() { return m_download; }
    Download &signatureDownload() { return m_signatureDownload; }
    // How the new client is put in place and proven (grace, limits).
    Installer &installer() { return m_installer; }
    void setClientGrace(std::chrono::milliseconds grace) { m_installer.setClientGrace(grace); }
    void setSelfCheckLimit(std::chrono::milliseconds limit) { m_installer.setSelfCheckLimit(limit); }
    // The key releases are checked against; releasePublicKey() unless replaced (tests sign with
    // a key of their own).
    void setPublicKey(const QByteArray &publicKey);

    // At the updater's start: finishes or undoes an installation at `target` that an updater ended
    // half-way left behind (Installer::resume). While it runs the flow is busy, and
    // attemptFinished() and endRequested() follow as after an installation. While another updater
    // works in the folder it only says so.
    void resumeInterrupted(const QString &target);

    // "Descargar": fetches `url` and its signature beside `target` and, when the maker signed what
    // arrived, replaces the client. Ignored while a download runs. While another updater works in the
    // folder it only says so and changes nothing; an installation an ended updater left half done is
    // finished or undone first.
    void startDownload(const QString &url, const QString &target);
    // "Cancelar": ends the updater when nothing is transferring, else asks the transfer to stop.
    // Ignored while the new client is being put in place: that must finish or be undone.
    void cancel();

    bool isDownloading() const { return m_download.isRunning() || m_signatureDownload.isRunning(); }
    bool isBusy() const { return isDownloading() || m_installer.isRunning(); }
    bool cancelPending() const { return m_cancelRequested; }

Q_SIGNALS:
    // Whether a download or an installation runs: "Descargar" waits until it is over.
    void downloadingChanged(bool downloading);
    void progressed(const updater::Progress &progress);
    // A download ended and was dealt with; the window stays unless endRequested() follows.
    void attemptFinished(bool replaced);
    // The updater has nothing more to do.
    void endRequested();

private:
    Download &activeDownload();
    void onProgress(const Progress &progress);
    void onFinished(const DownloadResult &result);
    void onSignatureFinished(const DownloadResult &result);
    void refuse(const QString &message);
    void discardDownloads();
    void onInstalled(bool replaced);
    bool takeLock(const QString &target);
    void becomeIdle();
    QString downloadPath() const;

    ui::Prompter &m_prompter;
    Download m_download;
    Download m_signatureDownload;
    Installer m_installer;
    QByteArray m_publicKey;
    InstallLock m_lock;
    // This run's own: its download's name carries it.
    QString m_run;
    QString m_url;
    QString m_target;
    bool m_cancelRequested = false;
};

} // namespace updater
