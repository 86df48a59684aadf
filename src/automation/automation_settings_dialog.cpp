#include "automation/automation_settings_dialog.h"

#include "automation/settings_rules.h"
#include "automation/settings_store.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStorageInfo>
#include <QTreeView>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace automation {
namespace {

constexpr int kMaxTypedPath = 250;
constexpr int kMaxSeparator = 5;

const char *const kIntroText =
    "Mediante esta opción Brisanta Desktop revisa periódicamente un archivo determinado en busca de nuevos envíos "
    "que realizar. De esta manera puede programar su software para que modifique dicho archivo cuando corresponda "
    "enviar un SMS. Aunque es una forma de integración válida y práctica, recomendamos la integración de la API "
    "directamente en el software (más información en la página web).";
const char *const kRequirementsText =
    "Para utilizar esta opción correctamente, es necesario que el programa Brisanta Desktop esté funcionando de "
    "manera continuada, así como permisos de lectura y escritura en el directorio seleccionado. Dichos permisos son "
    "necesarios porque Brisanta Desktop crea un archivo a modo de registro (log) para dejar constancia cada vez que "
    "realice algún lote de envíos. El nombre de los archivos coincide con la fecha y hora a la que fueron enviados.";
// Failed automated sends are logged where the send road writes them: the program folder.
const char *const kErrorLogText =
    "Los envíos que no se hayan podido realizar se anotan en el archivo 'error_auto.txt' de la carpeta del "
    "programa (%1).";
const char *const kFileFormatText =
    "El archivo creado automáticamente por sus programas, debe contener en cada línea el/los numero(s) de teléfono "
    "(separados por coma en caso de ser múltiples destinatarios), seguidos del separador especificado en la "
    "'Configuración'. A continuación el texto del mensaje; y así sucesivamente correspondiendo un envío con un nueva "
    "línea. Ejemplo:";
const char *const kExampleLine = "600123456#Hola#Demás información ignorada por Brisanta Desktop";
const char *const kStep1Text =
    "1.- Seleccione la ruta y nombre de archivo de donde se va a leer la información para el envío del SMS. Dicho "
    "archivo debe seguir el formato específicado previamente.";
const char *const kStep2Text =
    "2.- Seleccione la frecuencia con la cual se comprueban si hay nuevos envíos que realizar.";
const char *const kStep3Text =
    "3.- Indique el separador utilizado en el archivo seleccionado para diferenciar los números de teléfono del "
    "texto del mensaje.";
const char *const kStep4Text = "4.- Pulse 'Guardar', para que la configuración quede almacenada.";
const char *const kStep5Text =
    "5.- En el menú Archivo, pulse sobre 'Comenzar', para activar esta herramienta y comenzar las comprobaciones "
    "periódicas. Si se cierra el programa, al ejecutar nuevamente Brisanta Desktop, el programa continuará "
    "comprobando nuevos envíos hasta que pulse sobre 'Detener' en el menú Archivo.";

// Typing and pasting stop at the limit; a path put there by the lists or the stored row is never
// cut (a validator does not judge text set by code), and such a longer path can still be edited
// down: only growing past the limit is refused.
class TypingLimit final : public QValidator {
public:
    TypingLimit(int limit, QLineEdit *box) : QValidator(box), m_limit(limit)
    {
        // The box already holds the edit while it is judged: the length to compare with is the
        // one it had before.
        connect(box, &QLineEdit::textChanged, this, [this](const QString &text) { m_previousLength = text.size(); });
    }
    State validate(QString &input, int &) const override
    {
        return input.size() <= std::max<qsizetype>(m_limit, m_previousLength) ? Acceptable : Invalid;
    }

private:
    int m_limit;
    qsizetype m_previousLength = 0;
};

// A help paragraph, wrapped at the window's width.
QLabel *makeLabel(const QString &text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setWordWrap(true);
    return label;
}

// A caption beside a control: one line, never wrapped nor cut.
QLabel *makeCaption(const QString &text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

// The width the window opens with when its contents ask for less: the help reads in a few lines.
constexpr int kOpeningWidth = 860;
// The least height left to the help when the window is made small: it scrolls below that.
constexpr int kLeastHelpHeight = 120;
// The height of the folder and file lists: a few entries, scrolled.
constexpr int kListHeight = 100;
// Room left on the screen for the window's title bar.
constexpr int kTitleBarAllowance = 40;

QString driveOf(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QFileInfoList drives = QDir::drives();
    for (const QFileInfo &drive : drives) {
        if (absolute.startsWith(drive.absoluteFilePath(), Qt::CaseInsensitive))
            return drive.absoluteFilePath();
    }
    return QDir::rootPath();
}

} // namespace

AutomationSettingsDialog::AutomationSettingsDialog(seams::AppContext &context, QWidget *parent) : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("Form16"));
    setWindowTitle(QStringLiteral("Automatizar envíos"));
    buildUi();
    load();
}

AutomationSettingsDialog::~AutomationSettingsDialog() = default;

void AutomationSettingsDialog::buildUi()
{
    // The help paragraphs wrap, so the height they need grows as the window narrows; a window's
    // own minimum height cannot follow that. They sit in a scrolling page instead, which gives
    // each one the height its text needs at the page's width: never cut, never drawn over each
    // other, whatever size the user makes the window.
    m_helpPage = new QWidget(this);
    m_helpPage->setObjectName(QStringLiteral("helpPage"));
    auto *helpFrame = new QGroupBox(QStringLiteral("Automatizar envíos"), m_helpPage);
    helpFrame->setObjectName(QStringLiteral("Frame2"));
    auto *helpLayout = new QVBoxLayout(helpFrame);
    helpLayout->addWidget(makeLabel(withBrandName(QString::fromUtf8(kIntroText)), "SkinLabel4", helpFrame));
    helpLayout->addWidget(makeLabel(withBrandName(QString::fromUtf8(kRequirementsText)) + QLatin1Char(' ')
                                        + QString::fromUtf8(kErrorLogText)
                                              .arg(QDir::toNativeSeparators(m_context.programFolder)),
                                    "SkinLabel5", helpFrame));
    helpLayout->addWidget(makeLabel(QString::fromUtf8(kFileFormatText), "SkinLabel7", helpFrame));
    helpLayout->addWidget(makeLabel(withBrandName(QString::fromUtf8(kExampleLine)), "SkinLabel8", helpFrame));

    auto *stepsFrame = new QGroupBox(QStringLiteral("Instrucciones:"), m_helpPage);
    stepsFrame->setObjectName(QStringLiteral("Frame3"));
    auto *stepsLayout = new QVBoxLayout(stepsFrame);
    stepsLayout->addWidget(makeLabel(QString::fromUtf8(kStep1Text), "SkinLabel6", stepsFrame));
    stepsLayout->addWidget(makeLabel(QString::fromUtf8(kStep2Text), "SkinLabel9", stepsFrame));
    stepsLayout->addWidget(makeLabel(QString::fromUtf8(kStep3Text), "SkinLabel10", stepsFrame));
    stepsLayout->addWidget(makeLabel(QString::fromUtf8(kStep4Text), "SkinLabel11", stepsFrame));
    stepsLayout->addWidget(makeLabel(withBrandName(QString::fromUtf8(kStep5Text)), "SkinLabel12", stepsFrame));

    auto *settingsFrame = new QGroupBox(QStringLiteral("Configuración"), this);
    settingsFrame->setObjectName(QStringLiteral("Frame1"));

    m_driveCombo = new QComboBox(settingsFrame);
    m_driveCombo->setObjectName(QStringLiteral("Drive1"));
    const QFileInfoList drives = QDir::drives();
    for (const QFileInfo &drive : drives)
        m_driveCombo->addItem(QDir::toNativeSeparators(drive.absoluteFilePath()), drive.absoluteFilePath());

    m_folderModel = new QFileSystemModel(this);
    m_folderModel->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_folderModel->setRootPath(QString());
    m_folderList = new QTreeView(settingsFrame);
    m_folderList->setObjectName(QStringLiteral("Dir1"));
    m_folderList->setModel(m_folderModel);
    for (int column = 1; column < m_folderModel->columnCount(); ++column)
        m_folderList->hideColumn(column);
    m_folderList->header()->hide();

    m_fileModel = new QFileSystemModel(this);
    m_fileModel->setFilter(QDir::Files | QDir::Hidden | QDir::System);
    m_fileList = new QListView(settingsFrame);
    m_fileList->setObjectName(QStringLiteral("File1"));
    m_fileList->setModel(m_fileModel);

    m_pathBox = new QLineEdit(settingsFrame);
    m_pathBox->setObjectName(QStringLiteral("Text1"));
    m_pathBox->setValidator(new TypingLimit(kMaxTypedPath, m_pathBox));
    m_pathBox->installEventFilter(this);

    m_intervalCombo = new QComboBox(settingsFrame);
    m_intervalCombo->setObjectName(QStringLiteral("Combo1"));
    m_intervalCombo->addItems(offeredIntervals());

    m_separatorBox = new QLineEdit(QStringLiteral("#"), settingsFrame);
    m_separatorBox->setObjectName(QStringLiteral("Text2"));
    m_separatorBox->setMaxLength(kMaxSeparator);

    m_saveButton = new QPushButton(QStringLiteral("Guardar"), settingsFrame);
    m_saveButton->setObjectName(QStringLiteral("Command1"));

    // The lists keep a few entries' height and scroll: the window's height goes to the help.
    m_folderList->setFixedHeight(kListHeight);
    m_fileList->setFixedHeight(kListHeight);
    auto *listsLayout = new QGridLayout;
    listsLayout->addWidget(m_driveCombo, 0, 0);
    listsLayout->addWidget(m_folderList, 1, 0);
    listsLayout->addWidget(m_fileList, 0, 1, 2, 1);
    auto *intervalLayout = new QHBoxLayout;
    intervalLayout->addWidget(makeCaption(QStringLiteral("Comprobar nuevos mensajes cada "), "SkinLabel2", settingsFrame));
    intervalLayout->addWidget(m_intervalCombo);
    intervalLayout->addWidget(makeCaption(QStringLiteral("minutos."), "SkinLabel1", settingsFrame));
    intervalLayout->addStretch();
    auto *separatorLayout = new QHBoxLayout;
    separatorLayout->addWidget(makeCaption(QStringLiteral("Separador utilizado en el archivo:"), "SkinLabel3", settingsFrame));
    separatorLayout->addWidget(m_separatorBox);
    separatorLayout->addStretch();
    separatorLayout->addWidget(m_saveButton);
    auto *settingsLayout = new QVBoxLayout(settingsFrame);
    settingsLayout->addLayout(listsLayout);
    settingsLayout->addWidget(m_pathBox);
    settingsLayout->addLayout(intervalLayout);
    settingsLayout->addLayout(separatorLayout);

    auto *helpPageLayout = new QVBoxLayout(m_helpPage);
    helpPageLayout->setContentsMargins(0, 0, 0, 0);
    helpPageLayout->addWidget(helpFrame);
    helpPageLayout->addWidget(stepsFrame);
    helpPageLayout->addStretch();
    m_helpScroll = new QScrollArea(this);
    m_helpScroll->setObjectName(QStringLiteral("helpScroll"));
    m_helpScroll->setFrameShape(QFrame::NoFrame);
    m_helpScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_helpScroll->setWidgetResizable(true);
    m_helpScroll->setWidget(m_helpPage);
    m_helpScroll->setMinimumHeight(kLeastHelpHeight);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_helpScroll, 1);
    layout->addWidget(settingsFrame);
    fitOpeningSize();

    connect(m_driveCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_positioning && index >= 0)
            chooseDrive(m_driveCombo->itemData(index).toString());
    });
    connect(m_folderList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!m_positioning && current.isValid())
                    chooseFolder(m_folderModel->filePath(current));
            });
    connect(m_fileList, &QListView::clicked, this,
            [this](const QModelIndex &index) { chooseFile(m_fileModel->fileName(index)); });
    connect(m_pathBox, &QLineEdit::textChanged, this, &AutomationSettingsDialog::onPathEdited);
    connect(m_separatorBox, &QLineEdit::textChanged, this, &AutomationSettingsDialog::onSeparatorEdited);
    connect(m_saveButton, &QPushButton::clicked, this, &AutomationSettingsDialog::save);
}

void AutomationSettingsDialog::fitOpeningSize()
{
    // Wide enough for the lists and the help, and high enough to show the help whole without
    // scrolling where the screen has room for it.
    const QScreen *screen = QGuiApplication::primaryScreen();
    int width = std::max(sizeHint().width(), kOpeningWidth);
    if (screen)
        width = std::max(std::min(width, screen->availableGeometry().width()), minimumSizeHint().width());
    const QMargins margins = layout()->contentsMargins();
    const int pageWidth = width - margins.left() - margins.right();
    const auto *settingsFrame = findChild<QGroupBox *>(QStringLiteral("Frame1"));
    int height = margins.top() + m_helpPage->heightForWidth(pageWidth) + layout()->spacing()
               + settingsFrame->sizeHint().height() + margins.bottom();
    if (screen)
        height = std::min(height, screen->availableGeometry().height() - kTitleBarAllowance);
    resize(width, std::max(height, minimumSizeHint().height()));
}

void AutomationSettingsDialog::load()
{
    m_pathBox->setText(defaultWatchedPath());
    m_intervalCombo->setCurrentIndex(kInitialIntervalIndex);
    if (const std::optional<AutomationSettings> settings = readSettings(m_context.connection)) {
        const int index = m_intervalCombo->findText(settings->minutes, Qt::MatchExactly);
        if (index >= 0)
            m_intervalCombo->setCurrentIndex(index);
        // A row never saved from here (a new database's) holds no path or separator: the design
        // values are more use to the user than empty boxes.
        if (!settings->file.isEmpty())
            m_pathBox->setText(settings->file);
        if (!settings->separator.isEmpty())
            m_separatorBox->setText(settings->separator);
    }
    m_saveButton->setEnabled(QFileInfo(m_pathBox->text()).isFile());

    const QFileInfo path(m_pathBox->text());
    showFolder(path.absoluteDir().exists() ? path.absolutePath() : QDir::currentPath());
}

void AutomationSettingsDialog::showFolder(const QString &folder)
{
    m_positioning = true;
    m_folder = QDir(folder).absolutePath();
    const int driveIndex = m_driveCombo->findData(driveOf(m_folder));
    if (driveIndex >= 0)
        m_driveCombo->setCurrentIndex(driveIndex);
    const QModelIndex index = m_folderModel->index(m_folder);
    m_folderList->setCurrentIndex(index);
    m_folderList->scrollTo(index);
    m_fileModel->setRootPath(m_folder);
    m_fileList->setRootIndex(m_fileModel->index(m_folder));
    m_positioning = false;
}

void AutomationSettingsDialog::chooseDrive(const QString &drive)
{
    const QStorageInfo storage(drive);
    if (!storage.isValid() || !storage.isReady()) {
        const QString first = m_driveCombo->count() > 0 ? m_driveCombo->itemData(0).toString() : QDir::rootPath();
        showFolder(first);
        m_pathBox->setText(pathForFolder(first));
        m_saveButton->setEnabled(false);
        m_context.prompter.message(QStringLiteral("La unidad no contiene disco o está vacía."), QStringLiteral("Error"),
                                   ui::Icon::Warning);
        return;
    }
    showFolder(drive);
    m_pathBox->setText(pathForFolder(drive));
    m_saveButton->setEnabled(false);
}

void AutomationSettingsDialog::chooseFolder(const QString &folder)
{
    showFolder(folder);
    m_pathBox->setText(pathForFolder(m_folder));
    m_saveButton->setEnabled(false);
}

void AutomationSettingsDialog::chooseFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    m_pathBox->setText(pathForFile(m_folder, fileName));
    m_saveButton->setEnabled(true);
}

void AutomationSettingsDialog::onPathEdited(const QString &text)
{
    m_saveButton->setEnabled(hasExtension(text));
}

void AutomationSettingsDialog::onSeparatorEdited(const QString &text)
{
    if (text.isEmpty())
        m_saveButton->setEnabled(false);
}

void AutomationSettingsDialog::normalizePath()
{
    const QString native = withNativeSeparators(m_pathBox->text());
    if (native != m_pathBox->text())
        m_pathBox->setText(native);
}

bool AutomationSettingsDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pathBox && event->type() == QEvent::FocusOut)
        normalizePath();
    return QWidget::eventFilter(watched, event);
}

void AutomationSettingsDialog::save()
{
    ui::Prompter &prompter = m_context.prompter;
    if (!isValidSeparator(m_separatorBox->text())) {
        prompter.message(
            QStringLiteral("El delimitador no puede ser un campo vacío, o una coma ','. Por favor, reviselo."),
            QStringLiteral("Delimitador incorrecto"), ui::Icon::Warning);
        return;
    }
    const db::Result result =
        writeSettings(m_context.connection, m_intervalCombo->currentText(), m_separatorBox->text(), m_pathBox->text());
    if (!result.ok()) {
        prompter.message(QStringLiteral("No se ha podido guardar la configuración. Compruebe que la base de datos está "
                                        "disponible e inténtelo de nuevo."),
                         QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    Q_EMIT saved();
    close();
    // The window may be gone once the box's own event loop runs: nothing of it is used after this.
    prompter.message(QStringLiteral("Configuración guardada. Para que el programa empiece a comprobar nuevos envíos, "
                                    "pulse 'Comenzar' en el menú Archivo > Automatizar envíos."),
                     QStringLiteral("Configuración guardada"), ui::Icon::Information);
}

} // namespace automation
