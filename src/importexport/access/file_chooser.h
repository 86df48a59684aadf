#pragma once

#include <QStringList>
#include <QWidget>

class QComboBox;
class QListWidget;
class QListWidgetItem;

namespace ui { class Prompter; }

namespace importexport::access {

// The drive, folder and file lists of the import windows, chained as they always were: a new
// drive moves the folder list to it, a new folder moves the file list to it.
class FileChooser final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileChooser)

public:
    // `patterns` filters the file list ("*.mdb"); empty lists every file.
    FileChooser(ui::Prompter &prompter, const QStringList &patterns, QWidget *parent = nullptr);

    QComboBox *driveCombo = nullptr;
    QListWidget *folderList = nullptr;
    QListWidget *fileList = nullptr;

    QString folder() const { return m_folder; }
    // Moves the three lists to `folder`; false (and nothing changes) when it cannot be read.
    bool setFolder(const QString &folder);
    // Selects the entry equal to `name` (case-sensitive); false when there is none.
    bool selectFile(const QString &name);
    void selectFirst();
    QString fileName() const;          // the selected file name, "" when none
    QString path() const;             // folder + separator + file, "" when no file is selected

private:
    void onDriveChanged(int index);
    void onFolderActivated(QListWidgetItem *item);
    void fillFiles();

    ui::Prompter &m_prompter;
    QStringList m_patterns;
    QString m_folder;
};

} // namespace importexport::access
