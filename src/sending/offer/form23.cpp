#include "sending/offer/form23.h"

#include "sending/offer/unknown_numbers.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sending {

namespace {

// Wide enough for the question to wrap into two or three lines.
constexpr int kQuestionWidth = 360;

} // namespace

Form23::Form23(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form23"));
    setWindowTitle(QStringLiteral("Desea guardar el contacto en la agenda?"));

    auto *frame = new QGroupBox(QStringLiteral("Nuevo contacto"), this);
    m_telefono = new QLabel(frame);
    m_telefono->setObjectName(QStringLiteral("telefono"));
    m_pregunta = new QLabel(frame);
    m_pregunta->setObjectName(QStringLiteral("SkinLabel1"));
    m_pregunta->setWordWrap(true);
    m_pregunta->setMinimumWidth(kQuestionWidth);
    m_check1 = new QCheckBox(
        QStringLiteral("No preguntar de nuevo. Para cambios posteriores, acceda a  'Configuración'."), frame);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->setChecked(false);

    m_command3 = new QPushButton(QStringLiteral("Guardar contacto"), frame);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command2 = new QPushButton(QStringLiteral("Ignorar"), frame);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command1 = new QPushButton(QStringLiteral("Ignorar todos"), frame);
    m_command1->setObjectName(QStringLiteral("Command1"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_command3);
    buttons->addWidget(m_command2);
    buttons->addWidget(m_command1);
    auto *inner = new QVBoxLayout(frame);
    inner->addWidget(m_telefono);
    inner->addWidget(m_pregunta);
    inner->addWidget(m_check1);
    inner->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
}

Form23::~Form23() = default;

void Form23::mostrar(const QString &phone, qint64 index)
{
    m_telefono->setText(phone);
    m_posicion = index;
    m_pregunta->setText(preguntaOferta(phone));
    // A wrapped label does not tell a window's layout how tall it gets: reserve the height its
    // question needs at the narrowest the label can be, then let the window take its size.
    m_pregunta->setMinimumHeight(m_pregunta->heightForWidth(m_pregunta->minimumWidth()));
    if (!isVisible())
        adjustSize();
}

QString Form23::numero() const
{
    return m_telefono->text();
}

} // namespace sending
