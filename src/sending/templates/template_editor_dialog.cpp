#include "sending/templates/template_editor_dialog.h"

#include "platform/ui/prompter.h"
#include "sending/templates/template_rules.h"
#include "sending/templates/template_store.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sending {

namespace {

QLabel *wrappedLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

TemplateEditorDialog::TemplateEditorDialog(TemplateStore &store, ui::Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("Nueva plantilla"));

    m_saveButton = new QPushButton(QLatin1String(kSaveCaption), this);
    m_saveButton->setObjectName(QStringLiteral("Command1"));
    m_saveButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    m_cancelButton->setObjectName(QStringLiteral("Command2"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildDataFrame());
    layout->addWidget(buildHelpFrame());
    layout->addLayout(buttons);

    connect(m_messageBox, &QPlainTextEdit::textChanged, this, &TemplateEditorDialog::updateFixedCount);
    connect(m_saveButton, &QPushButton::clicked, this, &TemplateEditorDialog::saveTemplate);
    connect(m_cancelButton, &QPushButton::clicked, this, &TemplateEditorDialog::onCancelClicked);

    m_messageBox->setPlainText(boxText(initialSample()));
    // The count of what the box really holds, from the first moment.
    updateFixedCount();
    resize(560, 600);
}

TemplateEditorDialog::~TemplateEditorDialog() = default;

QGroupBox *TemplateEditorDialog::buildDataFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Datos de la plantilla:"), this);
    frame->setObjectName(QStringLiteral("Frame2"));

    m_nameBox = new QLineEdit(frame);
    m_nameBox->setObjectName(QStringLiteral("Text2"));
    m_nameBox->setMaxLength(int(kMaxTemplateNameLength));

    m_messageBox = new QPlainTextEdit(frame);
    m_messageBox->setObjectName(QStringLiteral("Text1"));
    m_messageBox->setTabChangesFocus(true);
    m_messageBox->setMinimumHeight(90);

    auto *fixedCaption = new QLabel(QStringLiteral("Caracteres fijos:"), frame);
    fixedCaption->setObjectName(QStringLiteral("SkinLabel2"));
    m_fixedCountLabel = new QLabel(frame);
    m_fixedCountLabel->setObjectName(QStringLiteral("SkinLabel3"));

    auto *countRow = new QHBoxLayout;
    countRow->addStretch();
    countRow->addWidget(fixedCaption);
    countRow->addWidget(m_fixedCountLabel);

    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(new QLabel(QStringLiteral("Nombre de la plantilla:"), frame));
    layout->addWidget(m_nameBox);
    layout->addWidget(new QLabel(QStringLiteral("Mensaje predeterminado:"), frame));
    layout->addWidget(m_messageBox, 1);
    layout->addLayout(countRow);
    return frame;
}

QGroupBox *TemplateEditorDialog::buildHelpFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Plantillas:"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *layout = new QVBoxLayout(frame);
    const QStringList helpLines{
        QStringLiteral("Las plantillas son mensajes predeterminados que se utilizan en numerosas ocasiones."),
        QStringLiteral("Una de las funcionalidades más potentes de las plantillas, es la posibilidad de "
                       "personalizar los mensajes utilizando palabras claves que se sustituyen por su "
                       "correspondiente información al enviar el mensaje."),
        QStringLiteral("Por ejemplo, gracias a esto, se pueden enviar mensajes a varios destinatarios de la "
                       "agenda especificando el nombre de cada uno; haciendo el mensaje más personal y "
                       "agradable a su destinatario."),
        QStringLiteral(" Las palabras claves para los contactos de la agenda son:"),
        QStringLiteral("[NOMBRE]    [TELEFONO]    [NOMBRE_COMPLETO]    [DIRECCION]    [OTRO_TELEFONO]    "
                       "[COMENTARIOS]"),
        QStringLiteral("(citas) Para personalizar el texto con la hora introducida en el calendario utilice:"),
        QStringLiteral("[FECHA_HORA] [FECHA] [HORA] [DIA] [DIA_SEMANA] [MES] [MES_NOMBRE] [AÑO] [HORAS] "
                       "[MINUTOS]"),
        QStringLiteral("Si quiere que se pregunte y poder modificarlo, añada _CONFIRMAR a cada palabra clave "
                       "dentro de los corchetes. Por ejemplo, [NOMBRE_CONFIRMAR]"),
    };
    for (const QString &line : helpLines)
        layout->addWidget(wrappedLabel(line, frame));
    return frame;
}

void TemplateEditorDialog::editTemplate(const TemplateRow &row)
{
    m_messageBox->setPlainText(boxText(row.message));
    m_nameBox->setText(row.name);
    m_editedSid = row.sid;
    m_saveButton->setText(QLatin1String(kModifyTemplateCaption));
}

QString TemplateEditorDialog::message() const
{
    return storedText(m_messageBox->toPlainText());
}

void TemplateEditorDialog::updateFixedCount()
{
    m_fixedCountLabel->setText(QString::number(fixedCharacterCount(message())));
}

void TemplateEditorDialog::saveTemplate()
{
    const QString name = m_nameBox->text();
    const QString text = message();
    if (const auto notice = validateTemplate(name, text)) {
        m_prompter.message(notice->text, notice->title);
        return;
    }

    const bool editing = m_editedSid.has_value();
    const TemplateResult result = editing ? m_store.modify(*m_editedSid, name, text)
                                          : m_store.create(name, text);
    if (result.status == TemplateStatus::NotFound) {
        // Deleted from another workstation (or from the list) while it was being edited. The
        // typed text stays; a second click saves it as a new template.
        m_editedSid.reset();
        m_saveButton->setText(QLatin1String(kSaveTemplateCaption));
        Q_EMIT templatesChanged();
        m_prompter.message(QStringLiteral("La plantilla que estaba modificando ya no existe: puede que se haya "
                                          "eliminado desde otro puesto. Su texto sigue en la ventana; pulse "
                                          "'Guardar plantilla' para guardarlo como una plantilla nueva."),
                           QStringLiteral("Plantilla inexistente"));
        return;
    }
    if (!result.ok()) {
        m_prompter.message(QStringLiteral("No se pudo guardar la plantilla en la base de datos. Inténtelo de "
                                          "nuevo en unos momentos."),
                           QStringLiteral("Error al guardar la plantilla"), ui::Icon::Warning);
        return;
    }

    m_editedSid.reset();
    m_messageBox->clear();
    m_nameBox->clear();
    m_saveButton->setText(QLatin1String(kSaveTemplateCaption));
    hide();
    Q_EMIT templatesChanged();
    if (editing)
        m_prompter.message(QStringLiteral("La plantilla fue modificada satisfactoriamente."),
                           QStringLiteral("Modificar plantilla"));
    else
        m_prompter.message(QStringLiteral("La plantilla fue guardada satisfactoriamente."),
                           QStringLiteral("Plantilla creada"));
}

void TemplateEditorDialog::onCancelClicked()
{
    close();
}

void TemplateEditorDialog::closeEvent(QCloseEvent *event)
{
    m_messageBox->setPlainText(oneLineSample());
    m_nameBox->clear();
    QWidget::closeEvent(event);
}

} // namespace sending
