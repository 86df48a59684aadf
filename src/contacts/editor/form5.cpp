#include "contacts/editor/form5.h"

#include "contacts/phone_number.h"
#include "platform/ui/prompter.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace contacts {

Form5::Form5(db::Connection &connection, ui::Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_conexion(connection), m_prompter(prompter)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Agregar contacto"));

    const char *const labels[7] = {"Nombre del contacto:", "Teléfono móvil:", "Nombre completo:", "Dirección:",
                                      "Otro teléfono:", "Comentario:", "Fecha de nacimiento:"};
    auto *requiredBox = new QGroupBox(QStringLiteral("Requeridos:"), this);
    auto *optionalBox = new QGroupBox(QStringLiteral("Opcionales:"), this);
    auto *requiredGrid = new QGridLayout(requiredBox);
    auto *optionalGrid = new QGridLayout(optionalBox);
    for (int i = 0; i < 7; ++i) {
        QGroupBox *frame = i < 2 ? requiredBox : optionalBox;
        QGridLayout *grid = i < 2 ? requiredGrid : optionalGrid;
        const int row = i < 2 ? i : i - 2;
        m_text[i] = new QLineEdit(frame);
        m_text[i]->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        m_text[i]->setMaxLength(std::numeric_limits<int>::max());
        grid->addWidget(new QLabel(QString::fromUtf8(labels[i]), frame), row, 0);
        grid->addWidget(m_text[i], row, 1);
    }
    optionalGrid->addWidget(new QLabel(QStringLiteral("(DD/MM/AA o DD/MM/AAAA)"), optionalBox), 4, 2);
    for (int i = 0; i < 6; ++i)
        setTabOrder(m_text[i], m_text[i + 1]);
    m_text[1]->installEventFilter(this);

    m_command1 = new QPushButton(QString::fromUtf8(kGuardarContacto), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command2 = new QPushButton(QStringLiteral("Cancelar"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    connect(m_command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(requiredBox);
    layout->addWidget(optionalBox);
    layout->addLayout(buttons);
}

Form5::~Form5() = default;

void Form5::modoCrear()
{
    // The boxes keep what they hold, also a contact loaded for a change: saving inserts it anew.
    m_command1->setText(QString::fromUtf8(kGuardarContacto));
}

void Form5::modoModificar(qint64 sid, const DatosContacto &d)
{
    const QString values[7] = {d.nombre, d.telefono, d.nombre_completo, d.direccion, d.telefono_2, d.comentario,
                                d.f_nacimiento};
    for (int i = 0; i < 7; ++i)
        m_text[i]->setText(values[i]);
    m_sid = sid;
    m_command1->setText(QString::fromUtf8(kModificarContacto));
}

void Form5::guardarNumero(const QString &number, qint64 position)
{
    // A new contact of its own: what an open editor held of another contact does not go with it.
    for (QLineEdit *box : m_text)
        box->clear();
    m_sid.reset();
    m_command1->setText(QString::fromUtf8(kGuardarContacto));
    m_posicion = position;
    Text2()->setText(number);
    Text1()->setText(QStringLiteral("Desconocido: ") + number);
    Text1()->setFocus();
    Text1()->selectAll();
}

bool Form5::eventFilter(QObject *watched, QEvent *event)
{
    // Qt reports no change when the focus leaves an untouched box; the check runs on every leave
    // inside the window. A box or another window taking the focus is no leave: the check's own
    // message would otherwise raise the check again.
    if (watched == m_text[1] && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Text2_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void Form5::Text2_LostFocus()
{
    const ComprobacionMovil r = comprobarMovil(Text2()->text());
    switch (r.estado) {
    case ComprobacionMovil::Status::Vacio:
        return;
    case ComprobacionMovil::Status::Valido:
        Text2()->setText(r.texto);
        return;
    case ComprobacionMovil::Status::Invalido:
        Text2()->setText(r.texto);
        Text2()->setFocus();
        m_prompter.message(QString::fromUtf8(kTelefonoIncorrecto), QString::fromUtf8(kTituloTelefonoIncorrecto),
                           ui::Icon::Warning);
        return;
    case ComprobacionMovil::Status::PrefijoAnadido:
        Text2()->setText(r.texto);
        m_prompter.message(QString::fromUtf8(kPrefijoInternacional), QString::fromUtf8(kTituloPrefijoInternacional),
                           ui::Icon::Information);
        return;
    }
}

DatosContacto Form5::datos() const
{
    return {Text1()->text(), Text2()->text(), Text3()->text(), Text4()->text(),
            Text5()->text(), Text6()->text(), Text7()->text()};
}

void Form5::Command1_Click()
{
    const bool existingSid = m_command1->text() == QLatin1String(kModificarContacto);
    const ResultadoGuardar r =
        guardarContacto(m_conexion, datos(), existingSid ? m_sid : std::nullopt);
    ui::Prompter &prompter = m_prompter;
    if (!r.ok()) {
        if (r.estado == ResultadoGuardar::Status::ContactoInexistente) {
            // The typed values stay; the next save stores them as a new contact.
            m_sid.reset();
            m_command1->setText(QString::fromUtf8(kGuardarContacto));
        }
        prompter.message(r.mensaje, r.titulo,
                         r.estado == ResultadoGuardar::Status::ErrorBaseDatos ? ui::Icon::Critical : ui::Icon::Warning);
        return;
    }

    const std::optional<qint64> position = existingSid ? std::nullopt : m_posicion;
    m_posicion.reset();
    for (QLineEdit *box : m_text)
        box->clear();
    m_command1->setText(QString::fromUtf8(kGuardarContacto));
    Q_EMIT agendaCambiada();
    if (position)
        Q_EMIT introducirAgenda(double(*position + 1), false);
    close();
    prompter.message(r.mensaje, r.titulo, ui::Icon::Information);
}

} // namespace contacts
