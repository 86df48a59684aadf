#include "sending/offer/unknown_number_dialog.h"

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

UnknownNumberDialog::UnknownNumberDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form23"));
    setWindowTitle(QStringLiteral("Desea guardar el contacto en la agenda?"));

    auto *frame = new QGroupBox(QStringLiteral("Nuevo contacto"), this);
    m_numberLabel = new QLabel(frame);
    m_numberLabel->setObjectName(QStringLiteral("telefono"));
    m_questionLabel = new QLabel(frame);
    m_questionLabel->setObjectName(QStringLiteral("SkinLabel1"));
    m_questionLabel->setWordWrap(true);
    m_questionLabel->setMinimumWidth(kQuestionWidth);
    m_dontAskAgainCheck = new QCheckBox(
        QStringLiteral("No preguntar de nuevo. Para cambios posteriores, acceda a  'Configuración'."), frame);
    m_dontAskAgainCheck->setObjectName(QStringLiteral("Check1"));
    m_dontAskAgainCheck->setChecked(false);

    m_saveContactButton = new QPushButton(QStringLiteral("Guardar contacto"), frame);
    m_saveContactButton->setObjectName(QStringLiteral("Command3"));
    m_ignoreButton = new QPushButton(QStringLiteral("Ignorar"), frame);
    m_ignoreButton->setObjectName(QStringLiteral("Command2"));
    m_ignoreAllButton = new QPushButton(QStringLiteral("Ignorar todos"), frame);
    m_ignoreAllButton->setObjectName(QStringLiteral("Command1"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_saveContactButton);
    buttons->addWidget(m_ignoreButton);
    buttons->addWidget(m_ignoreAllButton);
    auto *inner = new QVBoxLayout(frame);
    inner->addWidget(m_numberLabel);
    inner->addWidget(m_questionLabel);
    inner->addWidget(m_dontAskAgainCheck);
    inner->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
}

UnknownNumberDialog::~UnknownNumberDialog() = default;

void UnknownNumberDialog::showNumber(const QString &phone, qint64 index)
{
    m_numberLabel->setText(phone);
    m_position = index;
    m_questionLabel->setText(offerQuestion(phone));
    // A wrapped label does not tell a window's layout how tall it gets: reserve the height its
    // question needs at the narrowest the label can be, then let the window take its size.
    m_questionLabel->setMinimumHeight(m_questionLabel->heightForWidth(m_questionLabel->minimumWidth()));
    if (!isVisible())
        adjustSize();
}

QString UnknownNumberDialog::number() const
{
    return m_numberLabel->text();
}

} // namespace sending
