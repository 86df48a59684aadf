#include "importexport/access/access_import_window.h"

#include "importexport/access/file_chooser.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"

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

AccessImportWindow::AccessImportWindow(seams::AppContext &context, seams::ListViews *lists, std::function<void()> showMainWindow,
               QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_context(context)
    , m_lists(lists)
    , m_showMainWindow(std::move(showMainWindow))
    , m_run(context.connection)
{
    setObjectName(QStringLiteral("Form22"));
    setWindowTitle(QStringLiteral("Importar desde Access"));

    fileChooser = new FileChooser(context.prompter, {QStringLiteral("*.mdb")}, this);
    auto *connectFrame = new QGroupBox(QStringLiteral("Conectar BBDD"), this);
    tableBox = new QLineEdit(connectFrame);
    tableBox->setObjectName(QStringLiteral("Text1"));
    passwordBox = new QLineEdit(connectFrame);
    passwordBox->setObjectName(QStringLiteral("Text2"));
    passwordBox->setEchoMode(QLineEdit::Password);
    connectButton = new QPushButton(QStringLiteral("Conectar"), connectFrame);
    connectButton->setObjectName(QStringLiteral("Command1"));
    auto *connectLayout = new QFormLayout(connectFrame);
    connectLayout->addRow(QStringLiteral("Nombre de la tabla:"), tableBox);
    connectLayout->addRow(QStringLiteral("Contraseña:"), passwordBox);
    connectLayout->addRow(connectButton);

    auto *fieldsFrame = new QGroupBox(QStringLiteral("Asignar campos"), this);
    auto *fieldsLayout = new QFormLayout(fieldsFrame);
    const char *labels[] = {"Nombre:", "Teléfono:", "Nombre Completo:", "Dirección:", "Otro teléfono:", "Comentario:",
                            "Fecha Nacimiento:"};
    for (size_t i = 0; i < fieldCombos.size(); ++i) {
        fieldCombos[i] = new QComboBox(fieldsFrame);
        fieldCombos[i]->setObjectName(QStringLiteral("Combo1"));
        fieldsLayout->addRow(QString::fromUtf8(labels[i]), fieldCombos[i]);
    }
    keyCombo = new QComboBox(fieldsFrame);
    keyCombo->setObjectName(QStringLiteral("Combo2"));
    fieldsLayout->addRow(QStringLiteral("Clave:"), keyCombo);
    importButton = new QPushButton(QStringLiteral("Importar"), this);
    importButton->setObjectName(QStringLiteral("Command2"));
    importButton->setEnabled(false);

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
    left->addWidget(fileChooser, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(connectFrame);
    right->addWidget(fieldsFrame);
    right->addWidget(importButton, 0, Qt::AlignRight);
    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(instructions);

    connect(connectButton, &QPushButton::clicked, this, &AccessImportWindow::connectDatabase);
    connect(importButton, &QPushButton::clicked, this, &AccessImportWindow::importContacts);
    loadSettings();
}

AccessImportWindow::~AccessImportWindow() = default;

void AccessImportWindow::loadSettings()
{
    const std::optional<RememberedFile> last = lastFile(m_context.connection);
    if (!last) {
        fileChooser->selectFirst();
        return;
    }
    tableBox->setText(last->table);
    const QFileInfo info(last->path);
    if (fileChooser->setFolder(info.absolutePath()))
        fileChooser->selectFile(info.fileName());
    passwordBox->setText(last->pass);
}

Mapping AccessImportWindow::mapping() const
{
    Mapping m;
    for (size_t i = 0; i < fieldCombos.size(); ++i)
        m.fields[i] = fieldCombos[i]->currentIndex();
    m.key = keyCombo->currentIndex();
    return m;
}

void AccessImportWindow::connectDatabase()
{
    m_file.close();
    m_connectedTable.clear();
    const QString path = fileChooser->path();
    // The fields and whether there is a first row: the rows themselves are read by the import.
    mdb::TableScan table;
    QVariantList firstRow;
    if (path.isEmpty() || !m_file.open(path).ok() || !table.open(m_file, tableBox->text()).ok()) {
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
    for (QComboBox *combo : fieldCombos)
        combo->clear();
    keyCombo->clear();
    const QStringList fields = table.header().columnNames();
    if (hasRows) {
        for (QComboBox *combo : fieldCombos)
            combo->addItems(fields);
        keyCombo->addItems(fields);
    }
    for (QComboBox *combo : fieldCombos)
        combo->addItem(kEmptyEntry);
    if (!hasRows) {
        m_file.close();
        m_context.prompter.message(kConnectionError);
        return;
    }

    const int fieldCount = int(fields.size());
    std::optional<Mapping> remembered = rememberedMapping(m_context.connection, path, passwordBox->text(), tableBox->text());
    // A remembered mapping that no longer fits the table (its fields changed) is replaced by the
    // default one instead of failing every later connection.
    if (remembered && !mappingFits(*remembered, fieldCount))
        remembered.reset();
    const Mapping m = remembered.value_or(defaultMapping(fieldCount));
    for (size_t i = 0; i < fieldCombos.size(); ++i)
        fieldCombos[i]->setCurrentIndex(m.fields[i]);
    keyCombo->setCurrentIndex(m.key);
    if (!remembered)
        saveSettingsOrWarn();

    m_connectedTable = tableBox->text();
    importButton->setEnabled(true);
    m_context.prompter.message(QStringLiteral("Conectado a la base de datos"));
    Q_EMIT connected();
}

void AccessImportWindow::saveSettingsOrWarn()
{
    // Remembering is a convenience: a failure to save is logged by the database layer and the
    // import goes on.
    (void)saveSettings(m_context.connection, tableBox->text(), fileChooser->path(), passwordBox->text(), mapping());
}

void AccessImportWindow::importContacts()
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

void AccessImportWindow::resumeImport(const QString &, const QString &, double, const Decision &decision)
{
    RunOutcome outcome;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("Form22.import"));
        outcome = m_run.resume(decision);
    }
    handle(outcome);
}

void AccessImportWindow::handle(const RunOutcome &outcome)
{
    switch (outcome.status) {
    case RunStatus::Conflict:
        Q_EMIT runEnded(outcome);
        if (m_conflictHandler)
            m_conflictHandler(*outcome.conflict);
        else
            askAboutConflict(*outcome.conflict);
        return;
    case RunStatus::Failed:
        Q_EMIT runEnded(outcome);
        m_context.prompter.message(outcome.message, QStringLiteral("Error"), ui::Icon::Critical);
        return;
    case RunStatus::Finished:
        if (m_lists) {
            m_lists->refreshContactList(true);
            m_lists->refreshGroupList();
        }
        if (m_showMainWindow)
            m_showMainWindow();
        Q_EMIT runEnded(outcome);
        m_context.prompter.message(outcome.message, {}, ui::Icon::Information);
        close();
        return;
    }
}

void AccessImportWindow::askAboutConflict(const Conflict &c)
{
    const QString text =
        QStringLiteral("Se ha encontrado un contacto existente con el mismo número de teléfono (%1), y datos distintos.\n\n"
                       "Contacto actual: %2\nSobreescribir por: %3\n\n"
                       "¿Desea sobreescribir el contacto actual? Pulse Cancelar para detener la importación sin "
                       "guardar nada.")
            .arg(c.stored.values.phone.toString(), c.stored.values.name.toString(), c.imported.name.toString());
    const ui::Answer answer = m_context.prompter.message(text, QStringLiteral("Teléfono perteneciente a otro contacto"),
                                                         ui::Icon::Question, ui::Buttons::YesNoCancel);
    if (answer == ui::Answer::Yes)
        resumeImport(c.table, c.key, c.count, Decision{true, false, false, false});
    else if (answer == ui::Answer::No)
        resumeImport(c.table, c.key, c.count, Decision{false, false, true, false});
    else
        m_run.abandon();
}

} // namespace importexport::access
