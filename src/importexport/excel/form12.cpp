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

const QString kPrefijoPendiente = QStringLiteral("Nuevo: Excel_");
const QString kTituloNuevoGrupo = QStringLiteral("Nuevo grupo");

QString mensajeCreado(const QString &nombre)
{
    return QStringLiteral("El grupo '") + nombre + QStringLiteral("' ha sido creado.");
}

} // namespace

QString nombreGrupoNuevo(const QDateTime &ahora)
{
    return QStringLiteral("Excel_") + ahora.toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

QString grupoPendiente(const QDateTime &ahora)
{
    return QStringLiteral("Nuevo: ") + nombreGrupoNuevo(ahora);
}

Form12::Form12(startup::AppContext &context, startup::ListViews *lists, QWidget *parent)
    : Form12(context, lists, QDateTime::currentDateTime(), parent)
{
}

Form12::Form12(startup::AppContext &context, startup::ListViews *lists, const QDateTime &ahora, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context), m_lists(lists), m_ahora(ahora)
{
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QStringLiteral("Importar agenda desde Excel"));
    buildControls();
    Form_Load();
}

void Form12::buildControls()
{
    auto *instrucciones = new QGroupBox(QStringLiteral("Instrucciones para importar desde Excel"), this);
    auto *instLayout = new QVBoxLayout(instrucciones);
    for (const QString &text :
         {QStringLiteral("Desde este formulario, puede importar sus contactos guardados en un Excel a la agenda:"),
          QStringLiteral("1.- Prepare un archivo de Excel en el que la primera hoja contenga los contactos en columnas/filas."),
          QStringLiteral("2.- Guarde el archivo y cierre Excel, seleccione en esta ventana la ruta del archivo."),
          QStringLiteral("3.- Seleccione las opciones de grupo y pulse sobre el botón de Importar. ")}) {
        auto *label = new QLabel(text, instrucciones);
        label->setWordWrap(true);
        instLayout->addWidget(label);
    }

    auto *rutaFrame = new QGroupBox(QStringLiteral("Ruta del archivo Excel"), this);
    Drive1 = new QComboBox(rutaFrame);
    for (const QFileInfo &drive : QDir::drives())
        Drive1->addItem(drive.absoluteFilePath());
    m_dirs = new QFileSystemModel(this);
    m_dirs->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_dirs->setRootPath(QString());
    Dir1 = new QTreeView(rutaFrame);
    Dir1->setModel(m_dirs);
    for (int c = 1; c < m_dirs->columnCount(); ++c)
        Dir1->hideColumn(c);
    Dir1->setHeaderHidden(true);
    m_files = new QFileSystemModel(this);
    m_files->setFilter(QDir::Files);
    m_files->setNameFilterDisables(false);
    File1 = new QListView(rutaFrame);
    File1->setModel(m_files);
    File1->setContextMenuPolicy(Qt::CustomContextMenu);
    Check1 = new QCheckBox(QStringLiteral("Mostrar sólo archivos *.xls"), rutaFrame);
    Check1->setChecked(true);
    auto *rutaGrid = new QGridLayout(rutaFrame);
    rutaGrid->addWidget(new QLabel(QStringLiteral("Ruta:"), rutaFrame), 0, 0);
    rutaGrid->addWidget(Drive1, 0, 1);
    rutaGrid->addWidget(Dir1, 1, 1);
    rutaGrid->addWidget(new QLabel(QStringLiteral("Archivo:"), rutaFrame), 0, 2);
    rutaGrid->addWidget(File1, 1, 2);
    rutaGrid->addWidget(Check1, 2, 2);

    Check3 = new QCheckBox(QStringLiteral("Incluir contactos en el grupo:"), this);
    Combo1 = new QComboBox(this);
    Command2 = new QPushButton(QStringLiteral("Crear grupo"), this);
    Command1 = new QPushButton(QStringLiteral("Importar"), this);
    auto *grupo = new QHBoxLayout;
    grupo->addWidget(Check3);
    grupo->addWidget(Combo1, 1);
    grupo->addWidget(Command2);
    grupo->addWidget(Command1);

    mnurclick_excelfile = new QMenu(this);
    QAction *abrir = mnurclick_excelfile->addAction(QStringLiteral("Abrir archivo"));
    QAction *importar = mnurclick_excelfile->addAction(QStringLiteral("Importar archivo"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(instrucciones);
    layout->addWidget(rutaFrame);
    layout->addLayout(grupo);

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
        const QString nombre = m_files->fileName(index);
        if (!QFileInfo(QDir(m_carpeta).filePath(nombre)).isFile())
            return;
        File1->setCurrentIndex(index);
        seleccionarArchivo(nombre);
        m_archivoMenu = m_archivo;
        mnurclick_excelfile->popup(File1->viewport()->mapToGlobal(pos));
    });
    connect(abrir, &QAction::triggered, this, [this] { abrirArchivo(m_archivoMenu); });
    connect(importar, &QAction::triggered, this, [this] {
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
    const ImportSettings ajustes = leerAjustes(m_context.conexion);
    const QFileInfo recordado(QDir::fromNativeSeparators(ajustes.ruta));
    if (recordado.isFile()) {
        setCarpeta(recordado.absolutePath());
        seleccionarArchivo(recordado.fileName());
    } else {
        setCarpeta(QDir::currentPath());
    }
}

void Form12::setCarpeta(const QString &carpeta)
{
    const QFileInfo info(carpeta);
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

void Form12::seleccionarArchivo(const QString &nombre)
{
    if (nombre.isEmpty() || !QFileInfo(QDir(m_carpeta).filePath(nombre)).isFile())
        return;
    m_archivo = QDir(m_carpeta).filePath(nombre);
    Command1->setEnabled(true);
}

void Form12::Check1_Click()
{
    // Workbooks of every Excel age: the old pattern "*.xls" also listed ".xlsx" files.
    m_files->setNameFilters(Check1->isChecked() ? QStringList{QStringLiteral("*.xls"), QStringLiteral("*.xlsx")}
                                                : QStringList{QStringLiteral("*")});
}

void Form12::abrirArchivo(const QString &archivo)
{
    if (!archivo.isEmpty() && !m_context.shell.openUrl(QUrl::fromLocalFile(archivo).toString()))
        m_context.prompter.message(QStringLiteral("No ha sido posible abrir el programa de Excel, por favor compruebe que "
                                                  "está instalado correctamente, y si el problema persiste contacte con "
                                                  "nosotros."));
}

void Form12::Command2_Click()
{
    AgendaStore store(m_context.conexion);
    QString nombre;
    for (;;) {
        const std::optional<QString> answer = m_context.prompter.input(
            QStringLiteral("Introduzca el identificador del nuevo grupo"), QStringLiteral("Crear grupo"),
            nombreGrupoNuevo(QDateTime::currentDateTime()));
        if (!answer || answer->isEmpty())
            return;
        nombre = *answer;
        if (!store.groupExists(nombre))
            break;
        m_context.prompter.message(QStringLiteral("Ya existe un grupo con el nombre '") + nombre
                                       + QStringLiteral("'en el sistema. Elige otro o cancela y selecciona este nombre "
                                                        "para agregar los contactos a este grupo."),
                                   {}, ui::Icon::Warning);
    }
    db::Result r;
    if (!store.createGroup(nombre, &r)) {
        m_context.prompter.message(QStringLiteral("No se ha podido crear el grupo '") + nombre
                                       + QStringLiteral("'. Inténtelo de nuevo más tarde."),
                                   QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    if (Combo1->count() > 0 && Combo1->itemText(0).startsWith(kPrefijoPendiente))
        Combo1->removeItem(0);
    Combo1->addItem(nombre);
    Combo1->setCurrentIndex(Combo1->count() - 1);
    Check3->setChecked(true);
    if (m_lists)
        m_lists->f_grupos();
    m_context.prompter.message(mensajeCreado(nombre), kTituloNuevoGrupo);
}

Form24 *Form12::f_importar_excel()
{
    if (m_archivo.isEmpty())
        return nullptr;
    AgendaStore store(m_context.conexion);
    QString grupo;
    if (Check3->isChecked() && Combo1->currentIndex() >= 0) {
        const QString item = Combo1->currentText();
        db::Result r;
        if (item.startsWith(kPrefijoPendiente)) {
            const QString nombre = item.mid(item.indexOf(u':') + 1).trimmed();
            // The same name may have been made meanwhile: join that group rather than make a twin.
            std::optional<qint64> sid = store.groupSid(nombre, &r);
            if (!sid && r.ok())
                sid = store.createGroup(nombre, &r);
            if (!sid) {
                m_context.prompter.message(QStringLiteral("No se ha podido crear el grupo '") + nombre
                                               + QStringLiteral("'. Inténtelo de nuevo más tarde."),
                                           QStringLiteral("Error"), ui::Icon::Critical);
                return nullptr;
            }
            Combo1->setItemText(Combo1->currentIndex(), nombre);
            grupo = QString::number(*sid);
            if (m_lists)
                m_lists->f_grupos();
            m_context.prompter.message(mensajeCreado(nombre), kTituloNuevoGrupo);
        } else if (const std::optional<qint64> sid = store.groupSid(item, &r)) {
            grupo = QString::number(*sid);
        }
    }
    guardarRuta(m_context.conexion, QDir::toNativeSeparators(m_archivo));

    auto *form24 = new Form24(m_context, m_lists, m_archivo, grupo, this);
    form24->setAttribute(Qt::WA_DeleteOnClose);
    m_form24 = form24;
    form24->show();
    hide();
    if (!form24->f_recargar_muestra())
        return nullptr;
    return form24;
}

} // namespace importexport::excel
