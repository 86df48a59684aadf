#pragma once

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QListView;
class QMenu;
class QPushButton;
class QTreeView;

namespace seams { struct AppContext; class ListViews; }

namespace importexport::excel {

class ColumnMappingWindow;

// The pending group the combo offers first: "Nuevo: Excel_" and the opening time.
QString pendingGroupItem(const QDateTime &now);
QString newGroupName(const QDateTime &now);

// The Excel import window (objectName `Form12`), "Importar agenda desde Excel": the workbook
// (folder tree and file list) and the group the imported contacts join; "Importar" hands both to
// the mapping window.
class ExcelImportWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExcelImportWindow)

public:
    ExcelImportWindow(seams::AppContext &context, seams::ListViews *lists, const QDateTime &now, QWidget *parent = nullptr);
    explicit ExcelImportWindow(seams::AppContext &context, seams::ListViews *lists = nullptr, QWidget *parent = nullptr);

    QComboBox *driveCombo = nullptr;
    QTreeView *folderList = nullptr;
    QListView *fileList = nullptr;
    QCheckBox *xlsOnlyCheck = nullptr;      // "Mostrar sólo archivos *.xls"
    QCheckBox *joinGroupCheck = nullptr;      // "Incluir contactos en el grupo:"
    QComboBox *groupCombo = nullptr;
    QPushButton *importButton = nullptr;  // "Importar"
    QPushButton *createGroupButton = nullptr;  // "Crear grupo"
    QMenu *fileMenu = nullptr;

    QString folder() const { return m_folder; }
    void setFolder(const QString &path);
    // The file the list has selected (as a click on it does): enables "Importar".
    void selectFile(const QString &name);
    QString workbook() const { return m_workbook; }

    void createGroup();
    // Creates the pending group when chosen, remembers the workbook and opens the mapping window.
    ColumnMappingWindow *importWorkbook();
    ColumnMappingWindow *mappingWindow() const { return m_mappingWindow; }

private:
    void buildControls();
    void load();
    void applyFileFilter();
    void openWorkbook(const QString &path);

    seams::AppContext &m_context;
    seams::ListViews *m_lists = nullptr;
    QDateTime m_now;
    QFileSystemModel *m_dirs = nullptr;
    QFileSystemModel *m_files = nullptr;
    QString m_folder;
    QString m_workbook;
    QString m_menuWorkbook;   // the file the popup menu was opened on
    QPointer<ColumnMappingWindow> m_mappingWindow;
};

} // namespace importexport::excel
