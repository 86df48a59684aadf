#include "automation/form16.h"

#include "automation/settings_rules.h"
#include "automation/settings_store.h"
#include "platform/ui/prompter.h"
#include "startup/app_context.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
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
    "realice algún lote de envíos. El nombre de los archivos coincide con la fecha y hora a la que fueron enviados. "
    "Además, se creará en la misma carpeta un 'Errores.txt' donde se registra si hubo algun problema.";
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

QLabel *makeLabel(const QString &text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setWordWrap(true);
    return label;
}

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

Form16::Form16(startup::AppContext &context, QWidget *parent) : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("Form16"));
    setWindowTitle(QStringLiteral("Automatizar envíos"));
    buildUi();
    Form_Load();
}

Form16::~Form16() = default;

void Form16::buildUi()
{
    auto *helpFrame = new QGroupBox(QStringLiteral("Automatizar envíos"), this);
    helpFrame->setObjectName(QStringLiteral("Frame2"));
    auto *helpLayout = new QVBoxLayout(helpFrame);
    helpLayout->addWidget(makeLabel(conMarca(QString::fromUtf8(kIntroText)), "SkinLabel4", helpFrame));
    helpLayout->addWidget(makeLabel(conMarca(QString::fromUtf8(kRequirementsText)), "SkinLabel5", helpFrame));
    helpLayout->addWidget(makeLabel(QString::fromUtf8(kFileFormatText), "SkinLabel7", helpFrame));
    helpLayout->addWidget(makeLabel(conMarca(QString::fromUtf8(kExampleLine)), "SkinLabel8", helpFrame));

    auto *stepsFrame = new QGroupBox(QStringLiteral("Instrucciones:"), this);
    stepsFrame->setObjectName(QStringLiteral("Frame3"));
    auto *stepsLayout = new QVBoxLayout(stepsFrame);
    stepsLayout->addWidget(makeLabel(QString::fromUtf8(kStep1Text), "SkinLabel6", stepsFrame));
    stepsLayout->addWidget(makeLabel(QString::fromUtf8(kStep2Text), "SkinLabel9", stepsFrame));
    stepsLayout->addWidget(makeLabel(QString::fromUtf8(kStep3Text), "SkinLabel10", stepsFrame));
    stepsLayout->addWidget(makeLabel(QString::fromUtf8(kStep4Text), "SkinLabel11", stepsFrame));
    stepsLayout->addWidget(makeLabel(conMarca(QString::fromUtf8(kStep5Text)), "SkinLabel12", stepsFrame));

    auto *settingsFrame = new QGroupBox(QStringLiteral("Configuración"), this);
    settingsFrame->setObjectName(QStringLiteral("Frame1"));

    m_drive1 = new QComboBox(settingsFrame);
    m_drive1->setObjectName(QStringLiteral("Drive1"));
    const QFileInfoList drives = QDir::drives();
    for (const QFileInfo &drive : drives)
        m_drive1->addItem(QDir::toNativeSeparators(drive.absoluteFilePath()), drive.absoluteFilePath());

    m_carpetas = new QFileSystemModel(this);
    m_carpetas->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_carpetas->setRootPath(QString());
    m_dir1 = new QTreeView(settingsFrame);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setModel(m_carpetas);
    for (int column = 1; column < m_carpetas->columnCount(); ++column)
        m_dir1->hideColumn(column);
    m_dir1->header()->hide();

    m_archivos = new QFileSystemModel(this);
    m_archivos->setFilter(QDir::Files | QDir::Hidden | QDir::System);
    m_file1 = new QListView(settingsFrame);
    m_file1->setObjectName(QStringLiteral("File1"));
    m_file1->setModel(m_archivos);

    m_text1 = new QLineEdit(settingsFrame);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setValidator(new TypingLimit(kMaxTypedPath, m_text1));
    m_text1->installEventFilter(this);

    m_combo1 = new QComboBox(settingsFrame);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->addItems(minutosOfrecidos());

    m_text2 = new QLineEdit(QStringLiteral("#"), settingsFrame);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setMaxLength(kMaxSeparator);

    m_command1 = new QPushButton(QStringLiteral("Guardar"), settingsFrame);
    m_command1->setObjectName(QStringLiteral("Command1"));

    auto *listsLayout = new QGridLayout;
    listsLayout->addWidget(m_drive1, 0, 0);
    listsLayout->addWidget(m_dir1, 1, 0);
    listsLayout->addWidget(m_file1, 0, 1, 2, 1);
    auto *intervalLayout = new QHBoxLayout;
    intervalLayout->addWidget(makeLabel(QStringLiteral("Comprobar nuevos mensajes cada "), "SkinLabel2", settingsFrame));
    intervalLayout->addWidget(m_combo1);
    intervalLayout->addWidget(makeLabel(QStringLiteral("minutos."), "SkinLabel1", settingsFrame));
    intervalLayout->addStretch();
    auto *separatorLayout = new QHBoxLayout;
    separatorLayout->addWidget(makeLabel(QStringLiteral("Separador utilizado en el archivo:"), "SkinLabel3", settingsFrame));
    separatorLayout->addWidget(m_text2);
    separatorLayout->addStretch();
    separatorLayout->addWidget(m_command1);
    auto *settingsLayout = new QVBoxLayout(settingsFrame);
    settingsLayout->addLayout(listsLayout);
    settingsLayout->addWidget(m_text1);
    settingsLayout->addLayout(intervalLayout);
    settingsLayout->addLayout(separatorLayout);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(helpFrame);
    layout->addWidget(stepsFrame);
    layout->addWidget(settingsFrame);

    connect(m_drive1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_moviendo && index >= 0)
            Drive1_Change(m_drive1->itemData(index).toString());
    });
    connect(m_dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!m_moviendo && current.isValid())
                    Dir1_Change(m_carpetas->filePath(current));
            });
    connect(m_file1, &QListView::clicked, this,
            [this](const QModelIndex &index) { File1_Click(m_archivos->fileName(index)); });
    connect(m_text1, &QLineEdit::textChanged, this, &Form16::Text1_Change);
    connect(m_text2, &QLineEdit::textChanged, this, &Form16::Text2_Change);
    connect(m_command1, &QPushButton::clicked, this, &Form16::Command1_Click);
}

void Form16::Form_Load()
{
    m_text1->setText(rutaPorDefecto());
    m_combo1->setCurrentIndex(kMinutosInicial);
    if (const std::optional<Ajustes> settings = leerAjustes(m_context.conexion)) {
        const int index = m_combo1->findText(settings->minutos, Qt::MatchExactly);
        if (index >= 0)
            m_combo1->setCurrentIndex(index);
        // A row never saved from here (a new database's) holds no path or separator: the design
        // values are more use to the user than empty boxes.
        if (!settings->archivo.isEmpty())
            m_text1->setText(settings->archivo);
        if (!settings->delimitador.isEmpty())
            m_text2->setText(settings->delimitador);
    }
    m_command1->setEnabled(QFileInfo(m_text1->text()).isFile());

    const QFileInfo path(m_text1->text());
    mostrarCarpeta(path.absoluteDir().exists() ? path.absolutePath() : QDir::currentPath());
}

void Form16::mostrarCarpeta(const QString &folder)
{
    m_moviendo = true;
    m_carpeta = QDir(folder).absolutePath();
    const int driveIndex = m_drive1->findData(driveOf(m_carpeta));
    if (driveIndex >= 0)
        m_drive1->setCurrentIndex(driveIndex);
    const QModelIndex index = m_carpetas->index(m_carpeta);
    m_dir1->setCurrentIndex(index);
    m_dir1->scrollTo(index);
    m_archivos->setRootPath(m_carpeta);
    m_file1->setRootIndex(m_archivos->index(m_carpeta));
    m_moviendo = false;
}

void Form16::Drive1_Change(const QString &drive)
{
    const QStorageInfo storage(drive);
    if (!storage.isValid() || !storage.isReady()) {
        const QString first = m_drive1->count() > 0 ? m_drive1->itemData(0).toString() : QDir::rootPath();
        mostrarCarpeta(first);
        m_text1->setText(rutaDeCarpeta(first));
        m_command1->setEnabled(false);
        m_context.prompter.message(QStringLiteral("La unidad no contiene disco o está vacía."), QStringLiteral("Error"),
                                   ui::Icon::Warning);
        return;
    }
    mostrarCarpeta(drive);
    m_text1->setText(rutaDeCarpeta(drive));
    m_command1->setEnabled(false);
}

void Form16::Dir1_Change(const QString &folder)
{
    mostrarCarpeta(folder);
    m_text1->setText(rutaDeCarpeta(m_carpeta));
    m_command1->setEnabled(false);
}

void Form16::File1_Click(const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    m_text1->setText(rutaDeArchivo(m_carpeta, fileName));
    m_command1->setEnabled(true);
}

void Form16::Text1_Change(const QString &text)
{
    m_command1->setEnabled(tieneExtension(text));
}

void Form16::Text2_Change(const QString &text)
{
    if (text.isEmpty())
        m_command1->setEnabled(false);
}

void Form16::Text1_LostFocus()
{
    const QString native = conSeparadoresNativos(m_text1->text());
    if (native != m_text1->text())
        m_text1->setText(native);
}

bool Form16::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text1 && event->type() == QEvent::FocusOut)
        Text1_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void Form16::Command1_Click()
{
    ui::Prompter &prompter = m_context.prompter;
    if (!delimitadorValido(m_text2->text())) {
        prompter.message(
            QStringLiteral("El delimitador no puede ser un campo vacío, o una coma ','. Por favor, reviselo."),
            QStringLiteral("Delimitador incorrecto"), ui::Icon::Warning);
        return;
    }
    const db::Result result =
        guardarAjustes(m_context.conexion, m_combo1->currentText(), m_text2->text(), m_text1->text());
    if (!result.ok()) {
        prompter.message(QStringLiteral("No se ha podido guardar la configuración. Compruebe que la base de datos está "
                                        "disponible e inténtelo de nuevo."),
                         QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    Q_EMIT guardado();
    close();
    // The window may be gone once the box's own event loop runs: nothing of it is used after this.
    prompter.message(QStringLiteral("Configuración guardada. Para que el programa empiece a comprobar nuevos envíos, "
                                    "haga click en el menú 'Activar'"),
                     QStringLiteral("Configuración guardada"), ui::Icon::Information);
}

} // namespace automation
