#pragma once

#include "updater/download.h"

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
// its signed statement into temporary files, the check that the maker signed it as a newer release
// of this client, the end of the running clients, the swap of the executable, the proof that the
// new client runs and its start, with the previous one put back when the new one does not run.
class UpdateFlow final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateFlow)

public:
    UpdateFlow(ui::Prompter &prompter, ui::Shell &shell, QNetworkAccessManager &network,
               QObject *parent = nullptr);

    Download &download() { return m_download; }
    Download &signatureDownload() { return m_signatureDownload; }
    // How long a running client gets to end by itself before it is forced.
    void setClientGrace(std::chrono::milliseconds grace) { m_clientGrace = grace; }
    // How long the new client gets to prove that it runs (self_check.h).
    void setSelfCheckLimit(std::chrono::milliseconds limit) { m_selfCheckLimit = limit; }
    // The key releases are checked against; releasePublicKey() unless replaced (tests sign with
    // a key of their own).
    void setPublicKey(const QByteArray &publicKey) { m_publicKey = publicKey; }

    // "Descargar": fetches `url` and its signature beside `target` and, when the maker signed what
    // arrived, replaces the client. Ignored while a download runs.
    void startDownload(const QString &url, const QString &target);
    // "Cancelar": ends the updater when nothing is transferring, else asks the transfer to stop.
    void cancel();

    bool isDownloading() const { return m_download.isRunning() || m_signatureDownload.isRunning(); }
    bool cancelPending() const { return m_cancelRequested; }

Q_SIGNALS:
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
    bool replaceClient();
    bool takeBack(const QString &failed, bool kept);

    ui::Prompter &m_prompter;
    ui::Shell &m_shell;
    Download m_download;
    Download m_signatureDownload;
    QByteArray m_publicKey;
    std::chrono::milliseconds m_clientGrace{3000};
    std::chrono::milliseconds m_selfCheckLimit{30000};
    QString m_url;
    QString m_target;
    bool m_cancelRequested = false;
};

} // namespace updater
