#include "importexport/excel/excel_import_window.h"

#include "importexport/excel/column_mapping_window.h"
#include "importexport/excel/import_settings.h"
#include "importexport/store/agenda_store.h"
#include "platform/ui/prompter.h"
#include "platform/ui/saved_workbook.h"
#include "platform/ui/shell.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace importexport::excel {

namespace {

const QString kPendingPrefix = QStringLiteral("Nuevo: Excel_");
const QString kNewGroupTitle = QStringLiteral("Nuevo grupo");

QString createdMessage(const QString &name)
{
    return QStringLiteral("El grupo '") + name + QStringLiteral("' ha sido creado.");
}

} // namespace

QString newGroupName(const QDateTime &now)
{
    return QStringLiteral("Excel_") + now.toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

QString pendingGroupItem(const QDateTime &now)
{
    return QStringLiteral("Nuevo: ") + newGroupName(now);
}

ExcelImportWindow::ExcelImportWindow(seams::AppContext &context, seams::ListViews *lists, QWidget *parent)
    : ExcelImportWindow(context, lists, QDateTime::currentDateTime(), parent)
{
}

ExcelImportWindow::ExcelImportWindow(seams::AppContext &context, seams::ListViews *lists, const QDateTime &now, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context), m_lists(lists), m_now(now)
{
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QStringLiteral("Importar agenda desde Excel"));
    buildControls();
    load();
}

void ExcelImportWindow::buildControls()
{
    auto *instructions = new QGroupBox(QStringLiteral("Instrucciones para importar desde Excel"), this);
    auto *instLayout = new QVBoxLayout(instructions);
    for (const QString &text :
         {QStringLiteral("Desde este formulario, puede importar sus contactos guardados en un Excel a la agenda:"),
          QStringLiteral("1.- Prepare un archivo de Excel en el que la primera hoja contenga los contactos en columnas/filas."),
          QStringLiteral("2.- Guarde el archivo y cierre Excel, seleccione en esta ventana la ruta del archivo."),
          QStringLiteral("3.- Seleccione las opciones de grupo y pulse sobre el botón de Importar. ")}) {
        auto *label = new QLabel(text, instructions);
        label->setWordWrap(true);
        instLayout->addWidget(label);
    }

    auto *pathFrame = new QGroupBox(QStringLiteral("Ruta del archivo Excel"), this);
    driveCombo = new QComboBox(pathFrame);
    driveCombo->setObjectName(QStringLiteral("Drive1"));
    for (const QFileInfo &drive : QDir::drives())
        driveCombo->addItem(drive.absoluteFilePath());
    m_dirs = new QFileSystemModel(this);
    m_dirs->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_dirs->setRootPath(QString());
    folderList = new QTreeView(pathFrame);
    folderList->setObjectName(QStringLiteral("Dir1"));
    folderList->setModel(m_dirs);
    for (int c = 1; c < m_dirs->columnCount(); ++c)
        folderList->hideColumn(c);
    folderList->setHeaderHidden(true);
    m_files = new QFileSystemModel(this);
    m_files->setFilter(QDir::Files);
    m_files->setNameFilterDisables(false);
    fileList = new QListView(pathFrame);
    fileList->setObjectName(QStringLiteral("File1"));
    fileList->setModel(m_files);
    fileList->setContextMenuPolicy(Qt::CustomContextMenu);
    xlsOnlyCheck = new QCheckBox(QStringLiteral("Mostrar sólo archivos *.xls"), pathFrame);
    xlsOnlyCheck->setObjectName(QStringLiteral("Check1"));
    xlsOnlyCheck->setChecked(true);
    auto *pathGrid = new QGridLayout(pathFrame);
    pathGrid->addWidget(new QLabel(QStringLiteral("Ruta:"), pathFrame), 0, 0);
    pathGrid->addWidget(driveCombo, 0, 1);
    pathGrid->addWidget(folderList, 1, 1);
    pathGrid->addWidget(new QLabel(QStringLiteral("Archivo:"), pathFrame), 0, 2);
    pathGrid->addWidget(fileList, 1, 2);
    pathGrid->addWidget(xlsOnlyCheck, 2, 2);

    joinGroupCheck = new QCheckBox(QStringLiteral("Incluir contactos en el grupo:"), this);
    groupCombo = new QComboBox(this);
    createGroupButton = new QPushButton(QStringLiteral("Crear grupo"), this);
    importButton = new QPushButton(QStringLiteral("Importar"), this);
    joinGroupCheck->setObjectName(QStringLiteral("Check3"));
    groupCombo->setObjectName(QStringLiteral("Combo1"));
    createGroupButton->setObjectName(QStringLiteral("Command2"));
    importButton->setObjectName(QStringLiteral("Command1"));
    auto *groupRow = new QHBoxLayout;
    groupRow->addWidget(joinGroupCheck);
    groupRow->addWidget(groupCombo, 1);
    groupRow->addWidget(createGroupButton);
    groupRow->addWidget(importButton);

    fileMenu = new QMenu(this);
    fileMenu->setObjectName(QStringLiteral("mnurclick_excelfile"));
    QAction *openAction = fileMenu->addAction(QStringLiteral("Abrir archivo"));
    QAction *importAction = fileMenu->addAction(QStringLiteral("Importar archivo"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(instructions);
    layout->addWidget(pathFrame);
    layout->addLayout(groupRow);

    connect(driveCombo, &QComboBox::activated, this, [this](int) { setFolder(driveCombo->currentText()); });
    // The lists follow their current entry, however it moved: a click, the arrow keys, typing.
    connect(folderList->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &index) {
        if (index.isValid() && QDir(m_dirs->filePath(index)) != QDir(m_folder))
            setFolder(m_dirs->filePath(index));
    });
    connect(fileList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &index) {
                if (index.isValid())
                    selectFile(m_files->fileName(index));
            });
    connect(fileList, &QListView::clicked, this,
            [this](const QModelIndex &index) { selectFile(m_files->fileName(index)); });
    connect(fileList, &QListView::doubleClicked, this, [this](const QModelIndex &index) {
        selectFile(m_files->fileName(index));
        importWorkbook();
    });
    // The popup acts on the file under the pointer: it is selected before the menu opens, and
    // both items act on that file whatever the list shows by the time they run. A file gone
    // since the list was drawn gets no menu: the one selected before must not stand in for it.
    connect(fileList, &QListView::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QModelIndex index = fileList->indexAt(pos);
        if (!index.isValid())
            return;
        const QString name = m_files->fileName(index);
        if (!QFileInfo(QDir(m_folder).filePath(name)).isFile())
            return;
        fileList->setCurrentIndex(index);
        selectFile(name);
        m_menuWorkbook = m_workbook;
        fileMenu->popup(fileList->viewport()->mapToGlobal(pos));
    });
    connect(openAction, &QAction::triggered, this, [this] { openWorkbook(m_menuWorkbook); });
    connect(importAction, &QAction::triggered, this, [this] {
        if (m_menuWorkbook.isEmpty())
            return;
        m_workbook = m_menuWorkbook;
        importWorkbook();
    });
    connect(xlsOnlyCheck, &QCheckBox::clicked, this, &ExcelImportWindow::applyFileFilter);
    connect(importButton, &QPushButton::clicked, this, [this] { importWorkbook(); });
    connect(createGroupButton, &QPushButton::clicked, this, &ExcelImportWindow::createGroup);
}

void ExcelImportWindow::load()
{
    importButton->setEnabled(false);
    applyFileFilter();
    groupCombo->addItem(pendingGroupItem(m_now));
    groupCombo->addItems(AgendaStore(m_context.connection).groupNames());
    groupCombo->setCurrentIndex(0);

    ensureRow(m_context.connection);
    const ImportSettings settings = readSettings(m_context.connection);
    const QFileInfo remembered(QDir::fromNativeSeparators(settings.path));
    if (remembered.isFile()) {
        setFolder(remembered.absolutePath());
        selectFile(remembered.fileName());
    } else {
        // The user's own folder, where workbooks are kept; not the folder the program started in.
        setFolder(QDir::homePath());
    }
}

void ExcelImportWindow::setFolder(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir()) {
        m_context.prompter.message(QStringLiteral("La unidad no contiene disco o está vacía."), QStringLiteral("Error"),
                                   ui::Icon::Warning);
        return;
    }
    m_folder = info.absoluteFilePath();
    m_workbook.clear();
    importButton->setEnabled(false);
    const QModelIndex folderIndex = m_dirs->index(m_folder);
    folderList->setCurrentIndex(folderIndex);
    folderList->scrollTo(folderIndex);
    fileList->setRootIndex(m_files->setRootPath(m_folder));
}

void ExcelImportWindow::selectFile(const QString &name)
{
    if (name.isEmpty() || !QFileInfo(QDir(m_folder).filePath(name)).isFile())
        return;
    m_workbook = QDir(m_folder).filePath(name);
    importButton->setEnabled(true);
}

void ExcelImportWindow::applyFileFilter()
{
    // Workbooks of every Excel age: the old pattern "*.xls" also listed ".xlsx" files.
    m_files->setNameFilters(xlsOnlyCheck->isChecked() ? QStringList{QStringLiteral("*.xls"), QStringLiteral("*.xlsx")}
                                                : QStringList{QStringLiteral("*")});
}

void ExcelImportWindow::openWorkbook(const QString &path)
{
    if (!path.isEmpty() && !m_context.shell.openUrl(QUrl::fromLocalFile(path).toString()))
        m_context.prompter.message(ui::kWorkbookProgramMissing);
}

void ExcelImportWindow::createGroup()
{
    AgendaStore store(m_context.connection);
    QString name;
    for (;;) {
        const std::optional<QString> answer = m_context.prompter.input(
            QStringLiteral("Introduzca el identificador del nuevo grupo"), QStringLiteral("Crear grupo"),
            newGroupName(QDateTime::currentDateTime()));
        if (!answer || answer->isEmpty())
            return;
        name = *answer;
        if (!store.groupExists(name))
            break;
        m_context.prompter.message(QStringLiteral("Ya existe un grupo con el nombre '") + name
                                       + QStringLiteral("'en el sistema. Elige otro o cancela y selecciona este nombre "
                                                        "para agregar los contactos a este grupo."),
                                   {}, ui::Icon::Warning);
    }
    db::Result r;
    if (!store.createGroup(name, &r)) {
        m_context.prompter.message(QStringLiteral("No se ha podido crear el grupo '") + name
                                       + QStringLiteral("'. Inténtelo de nuevo más tarde."),
                                   QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    if (groupCombo->count() > 0 && groupCombo->itemText(0).startsWith(kPendingPrefix))
        groupCombo->removeItem(0);
    groupCombo->addItem(name);
    groupCombo->setCurrentIndex(groupCombo->count() - 1);
    joinGroupCheck->setChecked(true);
    if (m_lists)
        m_lists->refreshGroupList();
    m_context.prompter.message(createdMessage(name), kNewGroupTitle);
}

ColumnMappingWindow *ExcelImportWindow::importWorkbook()
{
    if (m_workbook.isEmpty())
        return nullptr;
    AgendaStore store(m_context.connection);
    QString group;
    if (joinGroupCheck->isChecked() && groupCombo->currentIndex() >= 0) {
        const QString item = groupCombo->currentText();
        db::Result r;
        if (item.startsWith(kPendingPrefix)) {
            const QString name = item.mid(item.indexOf(u':') + 1).trimmed();
            // The same name may have been made meanwhile: join that group rather than make a twin.
            std::optional<qint64> sid = store.groupSid(name, &r);
            if (!sid && r.ok())
                sid = store.createGroup(name, &r);
            if (!sid) {
                m_context.prompter.message(QStringLiteral("No se ha podido crear el grupo '") + name
                                               + QStringLiteral("'. Inténtelo de nuevo más tarde."),
                                           QStringLiteral("Error"), ui::Icon::Critical);
                return nullptr;
            }
            groupCombo->setItemText(groupCombo->currentIndex(), name);
            group = QString::number(*sid);
            if (m_lists)
                m_lists->refreshGroupList();
            m_context.prompter.message(createdMessage(name), kNewGroupTitle);
        } else if (const std::optional<qint64> sid = store.groupSid(item, &r)) {
            group = QString::number(*sid);
        }
    }
    savePath(m_context.connection, QDir::toNativeSeparators(m_workbook));

    auto *mappingWindow = new ColumnMappingWindow(m_context, m_lists, m_workbook, group, this);
    mappingWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_mappingWindow = mappingWindow;
    mappingWindow->show();
    hide();
    if (!mappingWindow->reloadSample())
        return nullptr;
    return mappingWindow;
}

} // namespace importexport::excel
