#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace updater {

class UpdateFlow;
struct Progress;

// The updater's one window (`Form1`): where the client comes from and where it goes, the two
// buttons and the download's progress. The work itself is the flow's.
class UpdaterWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdaterWindow)

public:
    // `programFolder` is the updater's own folder, which is the client's.
    UpdaterWindow(UpdateFlow &flow, const QString &programFolder, QWidget *parent = nullptr);

    void startDownload();
    void cancel();

private:
    void showProgress(const Progress &progress);
    void showDownloading(bool downloading);

    UpdateFlow &m_flow;
    QLabel *m_urlLabel = nullptr;
    QLineEdit *m_urlBox = nullptr;
    QLabel *m_targetLabel = nullptr;
    QLineEdit *m_targetBox = nullptr;
    QPushButton *m_downloadButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QGroupBox *m_statusFrame = nullptr;
    QLabel *m_totalLabel = nullptr;
    QLabel *m_receivedLabel = nullptr;
    QLabel *m_percentLabel = nullptr;
    QLabel *m_elapsedLabel = nullptr;
    QLabel *m_remainingLabel = nullptr;
    QProgressBar *m_progressBar = nullptr;
};

} // namespace updater
