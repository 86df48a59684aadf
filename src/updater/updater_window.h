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

    void Command1_Click();
    void Command2_Click();

private:
    void showProgress(const Progress &progress);
    void showDownloading(bool downloading);

    UpdateFlow &m_flow;
    QLabel *m_label1Url = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLabel *m_label1Target = nullptr;
    QLineEdit *m_text2 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QGroupBox *m_frame2 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    QLabel *m_label5 = nullptr;
    QLabel *m_label6 = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
};

} // namespace updater
