#include "sending/templates/template_editor.h"

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

Form10::Form10(TemplateStore &store, ui::Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("Nueva plantilla"));

    m_command1 = new QPushButton(QLatin1String(kCaptionGuardar), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_command2 = new QPushButton(QStringLiteral("Cancelar"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildDatos());
    layout->addWidget(buildAyuda());
    layout->addLayout(buttons);

    connect(m_text1, &QPlainTextEdit::textChanged, this, &Form10::Text1_Change);
    connect(m_command1, &QPushButton::clicked, this, &Form10::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form10::Command2_Click);

    m_text1->setPlainText(textoCaja(muestraInicial()));
    // The count of what the box really holds, from the first moment.
    Text1_Change();
    resize(560, 600);
}

Form10::~Form10() = default;

QGroupBox *Form10::buildDatos()
{
    auto *frame = new QGroupBox(QStringLiteral("Datos de la plantilla:"), this);
    frame->setObjectName(QStringLiteral("Frame2"));

    m_text2 = new QLineEdit(frame);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setMaxLength(int(kMaxNombrePlantilla));

    m_text1 = new QPlainTextEdit(frame);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setTabChangesFocus(true);
    m_text1->setMinimumHeight(90);

    auto *fixedCaption = new QLabel(QStringLiteral("Caracteres fijos:"), frame);
    fixedCaption->setObjectName(QStringLiteral("SkinLabel2"));
    m_skinLabel3 = new QLabel(frame);
    m_skinLabel3->setObjectName(QStringLiteral("SkinLabel3"));

    auto *countRow = new QHBoxLayout;
    countRow->addStretch();
    countRow->addWidget(fixedCaption);
    countRow->addWidget(m_skinLabel3);

    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(new QLabel(QStringLiteral("Nombre de la plantilla:"), frame));
    layout->addWidget(m_text2);
    layout->addWidget(new QLabel(QStringLiteral("Mensaje predeterminado:"), frame));
    layout->addWidget(m_text1, 1);
    layout->addLayout(countRow);
    return frame;
}

QGroupBox *Form10::buildAyuda()
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

void Form10::modificar(const Plantilla &row)
{
    m_text1->setPlainText(textoCaja(row.mensaje));
    m_text2->setText(row.nombre);
    m_sid = row.sid;
    m_command1->setText(QLatin1String(kCaptionModificar));
}

QString Form10::mensaje() const
{
    return textoGuardado(m_text1->toPlainText());
}

void Form10::Text1_Change()
{
    m_skinLabel3->setText(QString::number(caracteresFijos(mensaje())));
}

void Form10::Command1_Click()
{
    const QString name = m_text2->text();
    const QString text = mensaje();
    if (const auto notice = validarPlantilla(name, text)) {
        m_prompter.message(notice->texto, notice->titulo);
        return;
    }

    const bool editing = m_sid.has_value();
    const PlantillaResult result = editing ? m_store.modify(*m_sid, name, text)
                                          : m_store.create(name, text);
    if (result.status == TemplateStatus::NotFound) {
        // Deleted from another workstation (or from the list) while it was being edited. The
        // typed text stays; a second click saves it as a new template.
        m_sid.reset();
        m_command1->setText(QLatin1String(kCaptionGuardarPlantilla));
        Q_EMIT plantillasCambiadas();
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

    m_sid.reset();
    m_text1->clear();
    m_text2->clear();
    m_command1->setText(QLatin1String(kCaptionGuardarPlantilla));
    hide();
    Q_EMIT plantillasCambiadas();
    if (editing)
        m_prompter.message(QStringLiteral("La plantilla fue modificada satisfactoriamente."),
                           QStringLiteral("Modificar plantilla"));
    else
        m_prompter.message(QStringLiteral("La plantilla fue guardada satisfactoriamente."),
                           QStringLiteral("Plantilla creada"));
}

void Form10::Command2_Click()
{
    close();
}

void Form10::closeEvent(QCloseEvent *event)
{
    m_text1->setPlainText(muestraUnaLinea());
    m_text2->clear();
    QWidget::closeEvent(event);
}

} // namespace sending
