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

    QComboBox *Drive = nullptr;
    QListWidget *Dir = nullptr;
    QListWidget *File = nullptr;

    QString carpeta() const { return m_folder; }
    // Moves the three lists to `folder`; false (and nothing changes) when it cannot be read.
    bool setCarpeta(const QString &folder);
    // Selects the entry equal to `name` (case-sensitive); false when there is none.
    bool seleccionarArchivo(const QString &name);
    void seleccionarPrimero();
    QString archivo() const;          // the selected file name, "" when none
    QString ruta() const;             // folder + separator + file, "" when no file is selected

private:
    void Drive_Change(int index);
    void Dir_Activated(QListWidgetItem *item);
    void fillFiles();

    ui::Prompter &m_prompter;
    QStringList m_patterns;
    QString m_folder;
};

} // namespace importexport::access
