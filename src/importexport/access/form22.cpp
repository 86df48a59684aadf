#include "importexport/access/form22.h"

#include "importexport/access/file_chooser.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "startup/app_context.h"
#include "startup/subsystems.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::access {

namespace {

const QString kConnectionError = QStringLiteral("Error de conexion");

QLabel *wrapped(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

Form22::Form22(startup::AppContext &context, startup::ListViews *lists, std::function<void()> showMainWindow,
               QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_context(context)
    , m_lists(lists)
    , m_mostrarPrincipal(std::move(showMainWindow))
    , m_run(context.conexion)
{
    setObjectName(QStringLiteral("Form22"));
    setWindowTitle(QStringLiteral("Importar desde Access"));

    Files = new FileChooser(context.prompter, {QStringLiteral("*.mdb")}, this);
    auto *connectFrame = new QGroupBox(QStringLiteral("Conectar BBDD"), this);
    Text1 = new QLineEdit(connectFrame);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2 = new QLineEdit(connectFrame);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setEchoMode(QLineEdit::Password);
    Command1 = new QPushButton(QStringLiteral("Conectar"), connectFrame);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *connectLayout = new QFormLayout(connectFrame);
    connectLayout->addRow(QStringLiteral("Nombre de la tabla:"), Text1);
    connectLayout->addRow(QStringLiteral("Contraseña:"), Text2);
    connectLayout->addRow(Command1);

    auto *fieldsFrame = new QGroupBox(QStringLiteral("Asignar campos"), this);
    auto *fieldsLayout = new QFormLayout(fieldsFrame);
    const char *labels[] = {"Nombre:", "Teléfono:", "Nombre Completo:", "Dirección:", "Otro teléfono:", "Comentario:",
                            "Fecha Nacimiento:"};
    for (size_t i = 0; i < Combo1.size(); ++i) {
        Combo1[i] = new QComboBox(fieldsFrame);
        Combo1[i]->setObjectName(QStringLiteral("Combo1"));
        fieldsLayout->addRow(QString::fromUtf8(labels[i]), Combo1[i]);
    }
    Combo2 = new QComboBox(fieldsFrame);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    fieldsLayout->addRow(QStringLiteral("Clave:"), Combo2);
    Command2 = new QPushButton(QStringLiteral("Importar"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setEnabled(false);

    auto *instructions = new QGroupBox(QStringLiteral("Instrucciones"), this);
    auto *instructionsLayout = new QVBoxLayout(instructions);
    instructionsLayout->addWidget(wrapped(QStringLiteral("Seleccione el archivo de Access con la información de sus contactos. "
                                                          "Indique el nombre de la tabla y la contraseña (si hubiese), y pulse "
                                                          "sobre Conectar."), instructions));
    instructionsLayout->addWidget(wrapped(QStringLiteral("Si la conexión se ha realizado correctamente, aparecerán el listado "
                                                          "de campos de su base de datos. A continuación, asigne para cada "
                                                          "campo, su correspondiente. Si no dispone de cierta información o no "
                                                          "va a utilizarla para personalizar mensajes o agrupar contactos según "
                                                          "el campo, utilice la opción 'Vacío'."), instructions));
    instructionsLayout->addWidget(wrapped(QStringLiteral("Por su comodidad, la configuración de este formulario se autorecuerda "
                                                          "en posteriores usos."), instructions));

    auto *left = new QVBoxLayout;
    left->addWidget(wrapped(QStringLiteral("Seleccione la base de datos y rellene los campos a su derecha:"), this));
    left->addWidget(Files, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(connectFrame);
    right->addWidget(fieldsFrame);
    right->addWidget(Command2, 0, Qt::AlignRight);
    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(instructions);

    connect(Command1, &QPushButton::clicked, this, &Form22::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form22::Command2_Click);
    Form_Load();
}

Form22::~Form22() = default;

void Form22::Form_Load()
{
    const std::optional<RememberedFile> last = lastFile(m_context.conexion);
    if (!last) {
        Files->seleccionarPrimero();
        return;
    }
    Text1->setText(last->tabla);
    const QFileInfo info(last->ruta);
    if (Files->setCarpeta(info.absolutePath()))
        Files->seleccionarArchivo(info.fileName());
    Text2->setText(last->pass);
}

Mapping Form22::mapping() const
{
    Mapping m;
    for (size_t i = 0; i < Combo1.size(); ++i)
        m.campos[i] = Combo1[i]->currentIndex();
    m.clave = Combo2->currentIndex();
    return m;
}

void Form22::Command1_Click()
{
    m_file.close();
    m_connectedTable.clear();
    const QString path = Files->ruta();
    // The fields and whether there is a first row: the rows themselves are read by the import.
    mdb::TableScan table;
    QVariantList firstRow;
    if (path.isEmpty() || !m_file.open(path).ok() || !table.open(m_file, Text1->text()).ok()) {
        m_file.close();
        m_context.prompter.message(kConnectionError);
        return;
    }
    const bool hasRows = table.next(firstRow);
    if (!table.result().ok()) {
        m_file.close();
        m_context.prompter.message(kConnectionError);
        return;
    }
    for (QComboBox *combo : Combo1)
        combo->clear();
    Combo2->clear();
    const QStringList fields = table.header().columnNames();
    if (hasRows) {
        for (QComboBox *combo : Combo1)
            combo->addItems(fields);
        Combo2->addItems(fields);
    }
    for (QComboBox *combo : Combo1)
        combo->addItem(kVacio);
    if (!hasRows) {
        m_file.close();
        m_context.prompter.message(kConnectionError);
        return;
    }

    const int fieldCount = int(fields.size());
    std::optional<Mapping> remembered = rememberedMapping(m_context.conexion, path, Text2->text(), Text1->text());
    // A remembered mapping that no longer fits the table (its fields changed) is replaced by the
    // default one instead of failing every later connection.
    if (remembered && !mappingFits(*remembered, fieldCount))
        remembered.reset();
    const Mapping m = remembered.value_or(defaultMapping(fieldCount));
    for (size_t i = 0; i < Combo1.size(); ++i)
        Combo1[i]->setCurrentIndex(m.campos[i]);
    Combo2->setCurrentIndex(m.clave);
    if (!remembered)
        saveSettingsOrWarn();

    m_connectedTable = Text1->text();
    Command2->setEnabled(true);
    m_context.prompter.message(QStringLiteral("Conectado a la base de datos"));
    Q_EMIT connected();
}

void Form22::saveSettingsOrWarn()
{
    // Remembering is a convenience: a failure to save is logged by the database layer and the
    // import goes on.
    (void)saveSettings(m_context.conexion, Text1->text(), Files->ruta(), Text2->text(), mapping());
}

void Form22::Command2_Click()
{
    if (!m_file.isOpen() || m_connectedTable.isEmpty()) {
        m_context.prompter.message(kConnectionError);
        return;
    }
    saveSettingsOrWarn();
    // Read again: the file may have changed since "Conectar".
    std::unique_ptr<FileRows> table = FileRows::open(m_file.path(), m_connectedTable);
    if (!table) {
        m_context.prompter.message(QStringLiteral("No se ha podido leer la tabla '%1'. No se ha importado ningún contacto.")
                                       .arg(m_connectedTable),
                                   QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    RunOutcome outcome;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("Form22.import"));
        outcome = m_run.start(std::move(table), mapping());
    }
    handle(outcome);
}

void Form22::Access_a_Access(const QString &, const QString &, double, const Decision &decision)
{
    RunOutcome outcome;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("Form22.import"));
        outcome = m_run.reanudar(decision);
    }
    handle(outcome);
}

void Form22::handle(const RunOutcome &outcome)
{
    switch (outcome.status) {
    case RunStatus::Conflict:
        Q_EMIT runEnded(outcome);
        if (m_conflictHandler)
            m_conflictHandler(*outcome.conflicto);
        else
            askAboutConflict(*outcome.conflicto);
        return;
    case RunStatus::Failed:
        Q_EMIT runEnded(outcome);
        m_context.prompter.message(outcome.mensaje, QStringLiteral("Error"), ui::Icon::Critical);
        return;
    case RunStatus::Finished:
        if (m_lists) {
            m_lists->f_agenda(true);
            m_lists->f_grupos();
        }
        if (m_mostrarPrincipal)
            m_mostrarPrincipal();
        Q_EMIT runEnded(outcome);
        m_context.prompter.message(outcome.mensaje, {}, ui::Icon::Information);
        close();
        return;
    }
}

void Form22::askAboutConflict(const Conflict &c)
{
    const QString text =
        QStringLiteral("Se ha encontrado un contacto existente con el mismo número de teléfono (%1), y datos distintos.\n\n"
                       "Contacto actual: %2\nSobreescribir por: %3\n\n"
                       "¿Desea sobreescribir el contacto actual? Pulse Cancelar para detener la importación sin "
                       "guardar nada.")
            .arg(c.actual.values.telefono.toString(), c.actual.values.nombre.toString(), c.importado.nombre.toString());
    const ui::Answer answer = m_context.prompter.message(text, QStringLiteral("Teléfono perteneciente a otro contacto"),
                                                         ui::Icon::Question, ui::Buttons::YesNoCancel);
    if (answer == ui::Answer::Yes)
        Access_a_Access(c.tabla, c.clave, c.contados, Decision{true, false, false, false});
    else if (answer == ui::Answer::No)
        Access_a_Access(c.tabla, c.clave, c.contados, Decision{false, false, true, false});
    else
        m_run.abandonar();
}

} // namespace importexport::access
