#include "importexport/excel/form12.h"

#include "importexport/excel/form24.h"
#include "importexport/excel/import_settings.h"
#include "importexport/store/agenda_store.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "startup/app_context.h"
#include "startup/subsystems.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
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

QString nombreGrupoNuevo(const QDateTime &now)
{
    return QStringLiteral("Excel_") + now.toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

QString grupoPendiente(const QDateTime &now)
{
    return QStringLiteral("Nuevo: ") + nombreGrupoNuevo(now);
}

Form12::Form12(startup::AppContext &context, startup::ListViews *lists, QWidget *parent)
    : Form12(context, lists, QDateTime::currentDateTime(), parent)
{
}

Form12::Form12(startup::AppContext &context, startup::ListViews *lists, const QDateTime &now, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context), m_lists(lists), m_ahora(now)
{
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QStringLiteral("Importar agenda desde Excel"));
    buildControls();
    Form_Load();
}

void Form12::buildControls()
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
    Drive1 = new QComboBox(pathFrame);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    for (const QFileInfo &drive : QDir::drives())
        Drive1->addItem(drive.absoluteFilePath());
    m_dirs = new QFileSystemModel(this);
    m_dirs->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_dirs->setRootPath(QString());
    Dir1 = new QTreeView(pathFrame);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setModel(m_dirs);
    for (int c = 1; c < m_dirs->columnCount(); ++c)
        Dir1->hideColumn(c);
    Dir1->setHeaderHidden(true);
    m_files = new QFileSystemModel(this);
    m_files->setFilter(QDir::Files);
    m_files->setNameFilterDisables(false);
    File1 = new QListView(pathFrame);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setModel(m_files);
    File1->setContextMenuPolicy(Qt::CustomContextMenu);
    Check1 = new QCheckBox(QStringLiteral("Mostrar sólo archivos *.xls"), pathFrame);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setChecked(true);
    auto *pathGrid = new QGridLayout(pathFrame);
    pathGrid->addWidget(new QLabel(QStringLiteral("Ruta:"), pathFrame), 0, 0);
    pathGrid->addWidget(Drive1, 0, 1);
    pathGrid->addWidget(Dir1, 1, 1);
    pathGrid->addWidget(new QLabel(QStringLiteral("Archivo:"), pathFrame), 0, 2);
    pathGrid->addWidget(File1, 1, 2);
    pathGrid->addWidget(Check1, 2, 2);

    Check3 = new QCheckBox(QStringLiteral("Incluir contactos en el grupo:"), this);
    Combo1 = new QComboBox(this);
    Command2 = new QPushButton(QStringLiteral("Crear grupo"), this);
    Command1 = new QPushButton(QStringLiteral("Importar"), this);
    Check3->setObjectName(QStringLiteral("Check3"));
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *groupRow = new QHBoxLayout;
    groupRow->addWidget(Check3);
    groupRow->addWidget(Combo1, 1);
    groupRow->addWidget(Command2);
    groupRow->addWidget(Command1);

    mnurclick_excelfile = new QMenu(this);
    mnurclick_excelfile->setObjectName(QStringLiteral("mnurclick_excelfile"));
    QAction *openAction = mnurclick_excelfile->addAction(QStringLiteral("Abrir archivo"));
    QAction *importAction = mnurclick_excelfile->addAction(QStringLiteral("Importar archivo"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(instructions);
    layout->addWidget(pathFrame);
    layout->addLayout(groupRow);

    connect(Drive1, &QComboBox::activated, this, [this](int) { setCarpeta(Drive1->currentText()); });
    connect(Dir1, &QTreeView::clicked, this, [this](const QModelIndex &index) { setCarpeta(m_dirs->filePath(index)); });
    connect(File1, &QListView::clicked, this,
            [this](const QModelIndex &index) { seleccionarArchivo(m_files->fileName(index)); });
    connect(File1, &QListView::doubleClicked, this, [this](const QModelIndex &index) {
        seleccionarArchivo(m_files->fileName(index));
        f_importar_excel();
    });
    // The popup acts on the file under the pointer: it is selected before the menu opens, and
    // both items act on that file whatever the list shows by the time they run. A file gone
    // since the list was drawn gets no menu: the one selected before must not stand in for it.
    connect(File1, &QListView::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QModelIndex index = File1->indexAt(pos);
        if (!index.isValid())
            return;
        const QString name = m_files->fileName(index);
        if (!QFileInfo(QDir(m_carpeta).filePath(name)).isFile())
            return;
        File1->setCurrentIndex(index);
        seleccionarArchivo(name);
        m_archivoMenu = m_archivo;
        mnurclick_excelfile->popup(File1->viewport()->mapToGlobal(pos));
    });
    connect(openAction, &QAction::triggered, this, [this] { abrirArchivo(m_archivoMenu); });
    connect(importAction, &QAction::triggered, this, [this] {
        if (m_archivoMenu.isEmpty())
            return;
        m_archivo = m_archivoMenu;
        f_importar_excel();
    });
    connect(Check1, &QCheckBox::clicked, this, &Form12::Check1_Click);
    connect(Command1, &QPushButton::clicked, this, [this] { f_importar_excel(); });
    connect(Command2, &QPushButton::clicked, this, &Form12::Command2_Click);
}

void Form12::Form_Load()
{
    Command1->setEnabled(false);
    Check1_Click();
    Combo1->addItem(grupoPendiente(m_ahora));
    Combo1->addItems(AgendaStore(m_context.conexion).groupNames());
    Combo1->setCurrentIndex(0);

    asegurarFila(m_context.conexion);
    const ImportSettings settings = leerAjustes(m_context.conexion);
    const QFileInfo remembered(QDir::fromNativeSeparators(settings.ruta));
    if (remembered.isFile()) {
        setCarpeta(remembered.absolutePath());
        seleccionarArchivo(remembered.fileName());
    } else {
        setCarpeta(QDir::currentPath());
    }
}

void Form12::setCarpeta(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir()) {
        m_context.prompter.message(QStringLiteral("La unidad no contiene disco o está vacía."), QStringLiteral("Error"),
                                   ui::Icon::Warning);
        return;
    }
    m_carpeta = info.absoluteFilePath();
    m_archivo.clear();
    Command1->setEnabled(false);
    Dir1->setCurrentIndex(m_dirs->index(m_carpeta));
    File1->setRootIndex(m_files->setRootPath(m_carpeta));
}

void Form12::seleccionarArchivo(const QString &name)
{
    if (name.isEmpty() || !QFileInfo(QDir(m_carpeta).filePath(name)).isFile())
        return;
    m_archivo = QDir(m_carpeta).filePath(name);
    Command1->setEnabled(true);
}

void Form12::Check1_Click()
{
    // Workbooks of every Excel age: the old pattern "*.xls" also listed ".xlsx" files.
    m_files->setNameFilters(Check1->isChecked() ? QStringList{QStringLiteral("*.xls"), QStringLiteral("*.xlsx")}
                                                : QStringList{QStringLiteral("*")});
}

void Form12::abrirArchivo(const QString &path)
{
    if (!path.isEmpty() && !m_context.shell.openUrl(QUrl::fromLocalFile(path).toString()))
        m_context.prompter.message(QStringLiteral("No ha sido posible abrir el programa de Excel, por favor compruebe que "
                                                  "está instalado correctamente, y si el problema persiste contacte con "
                                                  "nosotros."));
}

void Form12::Command2_Click()
{
    AgendaStore store(m_context.conexion);
    QString name;
    for (;;) {
        const std::optional<QString> answer = m_context.prompter.input(
            QStringLiteral("Introduzca el identificador del nuevo grupo"), QStringLiteral("Crear grupo"),
            nombreGrupoNuevo(QDateTime::currentDateTime()));
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
    if (Combo1->count() > 0 && Combo1->itemText(0).startsWith(kPendingPrefix))
        Combo1->removeItem(0);
    Combo1->addItem(name);
    Combo1->setCurrentIndex(Combo1->count() - 1);
    Check3->setChecked(true);
    if (m_lists)
        m_lists->f_grupos();
    m_context.prompter.message(createdMessage(name), kNewGroupTitle);
}

Form24 *Form12::f_importar_excel()
{
    if (m_archivo.isEmpty())
        return nullptr;
    AgendaStore store(m_context.conexion);
    QString group;
    if (Check3->isChecked() && Combo1->currentIndex() >= 0) {
        const QString item = Combo1->currentText();
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
            Combo1->setItemText(Combo1->currentIndex(), name);
            group = QString::number(*sid);
            if (m_lists)
                m_lists->f_grupos();
            m_context.prompter.message(createdMessage(name), kNewGroupTitle);
        } else if (const std::optional<qint64> sid = store.groupSid(item, &r)) {
            group = QString::number(*sid);
        }
    }
    guardarRuta(m_context.conexion, QDir::toNativeSeparators(m_archivo));

    auto *mappingWindow = new Form24(m_context, m_lists, m_archivo, group, this);
    mappingWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_form24 = mappingWindow;
    mappingWindow->show();
    hide();
    if (!mappingWindow->f_recargar_muestra())
        return nullptr;
    return mappingWindow;
}

} // namespace importexport::excel
