#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QScrollArea;
class QTreeView;

namespace seams { struct AppContext; }

// "Automatizar envíos": which file to watch, how often, and the separator it uses; saving writes
// the one `Automatizado` row, stopped. Shown modeless; each opening starts from the stored row.
// objectName `Form16`.
namespace automation {

class AutomationSettingsDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AutomationSettingsDialog)

public:
    explicit AutomationSettingsDialog(seams::AppContext &context, QWidget *parent = nullptr);
    ~AutomationSettingsDialog() override;

    // Handlers, callable by tests as the controls' events call them.
    void chooseDrive(const QString &drive);
    void chooseFolder(const QString &folder);
    void chooseFile(const QString &fileName);
    void normalizePath();
    void save();

    QComboBox *driveCombo() const { return m_driveCombo; }
    QTreeView *folderList() const { return m_folderList; }
    QListView *fileList() const { return m_fileList; }
    QLineEdit *pathBox() const { return m_pathBox; }
    QComboBox *intervalCombo() const { return m_intervalCombo; }
    QLineEdit *separatorBox() const { return m_separatorBox; }
    QPushButton *saveButton() const { return m_saveButton; }
    // The folder the file list shows.
    QString folder() const { return m_folder; }

Q_SIGNALS:
    // The row was written: automated sending can be started from the menu.
    void saved();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void fitOpeningSize();
    void load();
    void onPathEdited(const QString &text);
    void onSeparatorEdited(const QString &text);
    void showFolder(const QString &folder);

    seams::AppContext &m_context;
    QFileSystemModel *m_folderModel = nullptr;
    QFileSystemModel *m_fileModel = nullptr;
    QWidget *m_helpPage = nullptr;        // the help paragraphs, scrolled when the window is small
    QScrollArea *m_helpScroll = nullptr;
    QComboBox *m_driveCombo = nullptr;
    QTreeView *m_folderList = nullptr;
    QListView *m_fileList = nullptr;
    QLineEdit *m_pathBox = nullptr;
    QComboBox *m_intervalCombo = nullptr;
    QLineEdit *m_separatorBox = nullptr;
    QPushButton *m_saveButton = nullptr;
    QString m_folder;
    bool m_positioning = false;   // the lists are being positioned by code, not by the user
};

} // namespace automation
