#include "account/password_prompt_dialog.h"

#include "account/account_windows.h"
#include "account/password_check.h"
#include "brand/brand.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "seams/app_context.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace account {

PasswordPromptDialog::PasswordPromptDialog(AccountWindows &windows, QWidget *parent)
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
    passwordBox = new QLineEdit(promptFrame);
    passwordBox->setObjectName(QStringLiteral("Text1"));
    passwordBox->setEchoMode(QLineEdit::Password);
    showPasswordCheck = new QCheckBox(QStringLiteral("Mostrar contraseña"), promptFrame);
    showPasswordCheck->setObjectName(QStringLiteral("Check1"));
    auto *forgottenLabel = new QLabel(QStringLiteral("¿Has olvidado tu contraseña?"), promptFrame);
    forgottenLabel->setObjectName(QStringLiteral("SkinLabel3"));
    forgottenPasswordButton = new QPushButton(QStringLiteral("Solicitar contraseña"), promptFrame);
    forgottenPasswordButton->setObjectName(QStringLiteral("Command3"));

    auto *grid = new QGridLayout(promptFrame);
    grid->addWidget(reasonLabel, 0, 0, 1, 2);
    grid->addWidget(passwordLabel, 1, 0);
    grid->addWidget(passwordBox, 1, 1);
    grid->addWidget(showPasswordCheck, 2, 1);
    grid->addWidget(forgottenLabel, 3, 0);
    grid->addWidget(forgottenPasswordButton, 3, 1, Qt::AlignLeft);

    acceptButton = new QPushButton(QStringLiteral("Aceptar"), this);
    acceptButton->setObjectName(QStringLiteral("Command1"));
    acceptButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(acceptButton);
    buttons->addWidget(cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(promptFrame);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(showPasswordCheck, &QCheckBox::toggled, this, &PasswordPromptDialog::onShowPasswordToggled);
    connect(acceptButton, &QPushButton::clicked, this, &PasswordPromptDialog::acceptPassword);
    connect(passwordBox, &QLineEdit::returnPressed, this, &PasswordPromptDialog::acceptPassword);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
    connect(forgottenPasswordButton, &QPushButton::clicked, this, &PasswordPromptDialog::openPasswordReminder);
}

void PasswordPromptDialog::onShowPasswordToggled()
{
    passwordBox->setEchoMode(showPasswordCheck->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void PasswordPromptDialog::acceptPassword()
{
    seams::AppContext &ctx = m_windows.context();
    switch (password::checkPassword(ctx.connection, passwordBox->text())) {
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
    case password::Target::SenderAdmin:
        windows.showSenderAdmin();
        break;
    case password::Target::WebDownload:
        windows.openOtherWindow(seams::WindowId::WebDownload);
        break;
    case password::Target::WebUpload:
        windows.openOtherWindow(seams::WindowId::WebUpload);
        break;
    case password::Target::None:
        break;
    }
}

void PasswordPromptDialog::openPasswordReminder()
{
    m_windows.context().shell.openUrl(brand::passwordReminderUrl());
}

} // namespace account
