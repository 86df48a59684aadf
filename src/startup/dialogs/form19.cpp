#include "startup/dialogs/form19.h"

#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "startup/app_context.h"
#include "startup/brand.h"
#include "startup/dialogs/account_windows.h"
#include "startup/dialogs/password_check.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace startup {

Form19::Form19(AccountWindows &windows, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_windows(windows)
{
    setObjectName(QStringLiteral("Form19"));
    setWindowTitle(QStringLiteral("Solicitud de contraseña"));

    auto *promptFrame = new QGroupBox(QStringLiteral("Solicitud de contraseña:"), this);
    promptFrame->setObjectName(QStringLiteral("Frame1"));
    auto *reasonLabel = new QLabel(QStringLiteral("Es necesario insertar la contraseña por motivos de seguridad y para "
                                                 "asegurar un uso responsable del remitente."),
                                  promptFrame);
    reasonLabel->setObjectName(QStringLiteral("SkinLabel1"));
    reasonLabel->setWordWrap(true);
    auto *passwordLabel = new QLabel(QStringLiteral("Contraseña:"), promptFrame);
    passwordLabel->setObjectName(QStringLiteral("SkinLabel2"));
    Text1 = new QLineEdit(promptFrame);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setEchoMode(QLineEdit::Password);
    Check1 = new QCheckBox(QStringLiteral("Mostrar contraseña"), promptFrame);
    Check1->setObjectName(QStringLiteral("Check1"));
    auto *forgottenLabel = new QLabel(QStringLiteral("¿Has olvidado tu contraseña?"), promptFrame);
    forgottenLabel->setObjectName(QStringLiteral("SkinLabel3"));
    Command3 = new QPushButton(QStringLiteral("Solicitar contraseña"), promptFrame);
    Command3->setObjectName(QStringLiteral("Command3"));

    auto *grid = new QGridLayout(promptFrame);
    grid->addWidget(reasonLabel, 0, 0, 1, 2);
    grid->addWidget(passwordLabel, 1, 0);
    grid->addWidget(Text1, 1, 1);
    grid->addWidget(Check1, 2, 1);
    grid->addWidget(forgottenLabel, 3, 0);
    grid->addWidget(Command3, 3, 1, Qt::AlignLeft);

    Command1 = new QPushButton(QStringLiteral("Aceptar"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("Cancelar"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(promptFrame);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(Check1, &QCheckBox::toggled, this, &Form19::Check1_Click);
    connect(Command1, &QPushButton::clicked, this, &Form19::Command1_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &Form19::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    connect(Command3, &QPushButton::clicked, this, &Form19::Command3_Click);
}

void Form19::Check1_Click()
{
    Text1->setEchoMode(Check1->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void Form19::Command1_Click()
{
    AppContext &ctx = m_windows.context();
    switch (password::checkPassword(ctx.conexion, Text1->text())) {
    case password::Check::Failed:
        ctx.prompter.message(QStringLiteral("No se ha podido comprobar la contraseña porque la base de datos no "
                                            "responde. Por favor, inténtelo de nuevo."),
                             QStringLiteral("Error"), ui::Icon::Critical);
        return;
    case password::Check::Wrong:
        ctx.prompter.message(QStringLiteral("La contraseña introducida no es correcta. Por favor, revisela."),
                             QStringLiteral("Contraseña erronea"), ui::Icon::Critical);
        return;
    case password::Check::Correct:
        break;
    }
    // The prompt goes first, so the window it opens comes up in front.
    const password::Target target = password::targetFor(m_code);
    AccountWindows &windows = m_windows;
    close();
    switch (target) {
    case password::Target::Form9:
        windows.showForm9();
        break;
    case password::Target::Form14:
        windows.openLater(WindowId::Form14);
        break;
    case password::Target::Form15:
        windows.openLater(WindowId::Form15);
        break;
    case password::Target::None:
        break;
    }
}

void Form19::Command3_Click()
{
    m_windows.context().shell.openUrl(brand::url_recordar_password());
}

} // namespace startup
