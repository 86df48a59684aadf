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

constexpr int kMaxRutaTecleada = 250;
constexpr int kMaxDelimitador = 5;

const char *const kSkinLabel4 =
    "Mediante esta opción Brisanta Desktop revisa periódicamente un archivo determinado en busca de nuevos envíos "
    "que realizar. De esta manera puede programar su software para que modifique dicho archivo cuando corresponda "
    "enviar un SMS. Aunque es una forma de integración válida y práctica, recomendamos la integración de la API "
    "directamente en el software (más información en la página web).";
const char *const kSkinLabel5 =
    "Para utilizar esta opción correctamente, es necesario que el programa Brisanta Desktop esté funcionando de "
    "manera continuada, así como permisos de lectura y escritura en el directorio seleccionado. Dichos permisos son "
    "necesarios porque Brisanta Desktop crea un archivo a modo de registro (log) para dejar constancia cada vez que "
    "realice algún lote de envíos. El nombre de los archivos coincide con la fecha y hora a la que fueron enviados. "
    "Además, se creará en la misma carpeta un 'Errores.txt' donde se registra si hubo algun problema.";
const char *const kSkinLabel7 =
    "El archivo creado automáticamente por sus programas, debe contener en cada línea el/los numero(s) de teléfono "
    "(separados por coma en caso de ser múltiples destinatarios), seguidos del separador especificado en la "
    "'Configuración'. A continuación el texto del mensaje; y así sucesivamente correspondiendo un envío con un nueva "
    "línea. Ejemplo:";
const char *const kSkinLabel8 = "600123456#Hola#Demás información ignorada por Brisanta Desktop";
const char *const kSkinLabel6 =
    "1.- Seleccione la ruta y nombre de archivo de donde se va a leer la información para el envío del SMS. Dicho "
    "archivo debe seguir el formato específicado previamente.";
const char *const kSkinLabel9 =
    "2.- Seleccione la frecuencia con la cual se comprueban si hay nuevos envíos que realizar.";
const char *const kSkinLabel10 =
    "3.- Indique el separador utilizado en el archivo seleccionado para diferenciar los números de teléfono del "
    "texto del mensaje.";
const char *const kSkinLabel11 = "4.- Pulse 'Guardar', para que la configuración quede almacenada.";
const char *const kSkinLabel12 =
    "5.- En el menú Archivo, pulse sobre 'Comenzar', para activar esta herramienta y comenzar las comprobaciones "
    "periódicas. Si se cierra el programa, al ejecutar nuevamente Brisanta Desktop, el programa continuará "
    "comprobando nuevos envíos hasta que pulse sobre 'Detener' en el menú Archivo.";

// Typing and pasting stop at the limit; a path put there by the lists or the stored row is never
// cut (a validator does not judge text set by code), and such a longer path can still be edited
// down: only growing past the limit is refused.
class LimiteTecleado final : public QValidator {
public:
    LimiteTecleado(int limite, QLineEdit *box) : QValidator(box), m_limite(limite)
    {
        // The box already holds the edit while it is judged: the length to compare with is the
        // one it had before.
        connect(box, &QLineEdit::textChanged, this, [this](const QString &text) { m_largo = text.size(); });
    }
    State validate(QString &input, int &) const override
    {
        return input.size() <= std::max<qsizetype>(m_limite, m_largo) ? Acceptable : Invalid;
    }

private:
    int m_limite;
    qsizetype m_largo = 0;
};

QLabel *etiqueta(const QString &texto, const char *nombre, QWidget *parent)
{
    auto *label = new QLabel(texto, parent);
    label->setObjectName(QString::fromLatin1(nombre));
    label->setWordWrap(true);
    return label;
}

QString unidadDe(const QString &ruta)
{
    const QString absoluta = QFileInfo(ruta).absoluteFilePath();
    const QFileInfoList unidades = QDir::drives();
    for (const QFileInfo &unidad : unidades) {
        if (absoluta.startsWith(unidad.absoluteFilePath(), Qt::CaseInsensitive))
            return unidad.absoluteFilePath();
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
    auto *frame2 = new QGroupBox(QStringLiteral("Automatizar envíos"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto *ayuda = new QVBoxLayout(frame2);
    ayuda->addWidget(etiqueta(conMarca(QString::fromUtf8(kSkinLabel4)), "SkinLabel4", frame2));
    ayuda->addWidget(etiqueta(conMarca(QString::fromUtf8(kSkinLabel5)), "SkinLabel5", frame2));
    ayuda->addWidget(etiqueta(QString::fromUtf8(kSkinLabel7), "SkinLabel7", frame2));
    ayuda->addWidget(etiqueta(conMarca(QString::fromUtf8(kSkinLabel8)), "SkinLabel8", frame2));

    auto *frame3 = new QGroupBox(QStringLiteral("Instrucciones:"), this);
    frame3->setObjectName(QStringLiteral("Frame3"));
    auto *pasos = new QVBoxLayout(frame3);
    pasos->addWidget(etiqueta(QString::fromUtf8(kSkinLabel6), "SkinLabel6", frame3));
    pasos->addWidget(etiqueta(QString::fromUtf8(kSkinLabel9), "SkinLabel9", frame3));
    pasos->addWidget(etiqueta(QString::fromUtf8(kSkinLabel10), "SkinLabel10", frame3));
    pasos->addWidget(etiqueta(QString::fromUtf8(kSkinLabel11), "SkinLabel11", frame3));
    pasos->addWidget(etiqueta(conMarca(QString::fromUtf8(kSkinLabel12)), "SkinLabel12", frame3));

    auto *frame1 = new QGroupBox(QStringLiteral("Configuración"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));

    m_drive1 = new QComboBox(frame1);
    m_drive1->setObjectName(QStringLiteral("Drive1"));
    const QFileInfoList unidades = QDir::drives();
    for (const QFileInfo &unidad : unidades)
        m_drive1->addItem(QDir::toNativeSeparators(unidad.absoluteFilePath()), unidad.absoluteFilePath());

    m_carpetas = new QFileSystemModel(this);
    m_carpetas->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_carpetas->setRootPath(QString());
    m_dir1 = new QTreeView(frame1);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setModel(m_carpetas);
    for (int column = 1; column < m_carpetas->columnCount(); ++column)
        m_dir1->hideColumn(column);
    m_dir1->header()->hide();

    m_archivos = new QFileSystemModel(this);
    m_archivos->setFilter(QDir::Files | QDir::Hidden | QDir::System);
    m_file1 = new QListView(frame1);
    m_file1->setObjectName(QStringLiteral("File1"));
    m_file1->setModel(m_archivos);

    m_text1 = new QLineEdit(frame1);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setValidator(new LimiteTecleado(kMaxRutaTecleada, m_text1));
    m_text1->installEventFilter(this);

    m_combo1 = new QComboBox(frame1);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->addItems(minutosOfrecidos());

    m_text2 = new QLineEdit(QStringLiteral("#"), frame1);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setMaxLength(kMaxDelimitador);

    m_command1 = new QPushButton(QStringLiteral("Guardar"), frame1);
    m_command1->setObjectName(QStringLiteral("Command1"));

    auto *listas = new QGridLayout;
    listas->addWidget(m_drive1, 0, 0);
    listas->addWidget(m_dir1, 1, 0);
    listas->addWidget(m_file1, 0, 1, 2, 1);
    auto *cada = new QHBoxLayout;
    cada->addWidget(etiqueta(QStringLiteral("Comprobar nuevos mensajes cada "), "SkinLabel2", frame1));
    cada->addWidget(m_combo1);
    cada->addWidget(etiqueta(QStringLiteral("minutos."), "SkinLabel1", frame1));
    cada->addStretch();
    auto *separador = new QHBoxLayout;
    separador->addWidget(etiqueta(QStringLiteral("Separador utilizado en el archivo:"), "SkinLabel3", frame1));
    separador->addWidget(m_text2);
    separador->addStretch();
    separador->addWidget(m_command1);
    auto *ajustes = new QVBoxLayout(frame1);
    ajustes->addLayout(listas);
    ajustes->addWidget(m_text1);
    ajustes->addLayout(cada);
    ajustes->addLayout(separador);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame2);
    layout->addWidget(frame3);
    layout->addWidget(frame1);

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
    if (const std::optional<Ajustes> ajustes = leerAjustes(m_context.conexion)) {
        const int index = m_combo1->findText(ajustes->minutos, Qt::MatchExactly);
        if (index >= 0)
            m_combo1->setCurrentIndex(index);
        // A row never saved from here (a new database's) holds no path or separator: the design
        // values are more use to the user than empty boxes.
        if (!ajustes->archivo.isEmpty())
            m_text1->setText(ajustes->archivo);
        if (!ajustes->delimitador.isEmpty())
            m_text2->setText(ajustes->delimitador);
    }
    m_command1->setEnabled(QFileInfo(m_text1->text()).isFile());

    const QFileInfo ruta(m_text1->text());
    mostrarCarpeta(ruta.absoluteDir().exists() ? ruta.absolutePath() : QDir::currentPath());
}

void Form16::mostrarCarpeta(const QString &folder)
{
    m_moviendo = true;
    m_carpeta = QDir(folder).absolutePath();
    const int unidad = m_drive1->findData(unidadDe(m_carpeta));
    if (unidad >= 0)
        m_drive1->setCurrentIndex(unidad);
    const QModelIndex index = m_carpetas->index(m_carpeta);
    m_dir1->setCurrentIndex(index);
    m_dir1->scrollTo(index);
    m_archivos->setRootPath(m_carpeta);
    m_file1->setRootIndex(m_archivos->index(m_carpeta));
    m_moviendo = false;
}

void Form16::Drive1_Change(const QString &drive)
{
    const QStorageInfo unidad(drive);
    if (!unidad.isValid() || !unidad.isReady()) {
        const QString primera = m_drive1->count() > 0 ? m_drive1->itemData(0).toString() : QDir::rootPath();
        mostrarCarpeta(primera);
        m_text1->setText(rutaDeCarpeta(primera));
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
    const QString nativo = conSeparadoresNativos(m_text1->text());
    if (nativo != m_text1->text())
        m_text1->setText(nativo);
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
    const db::Result saved =
        guardarAjustes(m_context.conexion, m_combo1->currentText(), m_text2->text(), m_text1->text());
    if (!saved.ok()) {
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
