#include "contacts/view/form17.h"

#include "contacts/contact_book.h"
#include "platform/ui/prompter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace contacts {

Form17::Form17(db::Connection &connection, ui::Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_conexion(connection), m_prompter(prompter)
{
    setObjectName(QStringLiteral("Form17"));
    setWindowTitle(QStringLiteral("Borrar agenda"));
    m_label = new QLabel(QString::fromUtf8(kAvisoBorrarAgenda), this);
    m_label->setObjectName(QStringLiteral("SkinLabel1"));
    m_label->setWordWrap(true);
    m_command1 = new QPushButton(QStringLiteral("Borrar agenda"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command2 = new QPushButton(QStringLiteral("Cancelar"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    connect(m_command1, &QPushButton::clicked, this, &Form17::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addLayout(buttons);
}

Form17::~Form17() = default;

void Form17::Command1_Click()
{
    ui::Prompter &prompter = m_prompter;
    const ResultadoBorrado r = borrarAgendaCompleta(m_conexion);
    if (!r.ok()) {
        // Nothing was deleted; the window stays for another try.
        prompter.message(QString::fromUtf8(kAgendaNoBorrada), QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    Q_EMIT agendaBorrada();
    close();
    prompter.message(QString::fromUtf8(kAgendaEliminada), QString::fromUtf8(kTituloAgendaEliminada),
                     ui::Icon::Information);
}

} // namespace contacts
