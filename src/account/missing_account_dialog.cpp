#include "account/missing_account_dialog.h"

#include "account/account_windows.h"
#include "brand/brand.h"
#include "platform/ui/shell.h"
#include "seams/app_context.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace account {

MissingAccountDialog::MissingAccountDialog(AccountWindows &windows, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_windows(windows)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Ausencia de datos de usuario"));
    messageLabel = new QLabel(QStringLiteral("Para el correcto funcionamiento del programa, es necesario introducir los "
                                           "datos de usuario tras registrarse de manera completamente gratuita en ")
                                + brand::webHost(),
                            this);
    messageLabel->setObjectName(QStringLiteral("SkinLabel1"));
    messageLabel->setWordWrap(true);
    registerButton = new QPushButton(QStringLiteral("Deseo registrarme en ") + brand::brandName(), this);
    registerButton->setObjectName(QStringLiteral("Command1"));
    alreadyRegisteredButton = new QPushButton(QStringLiteral("Ya estoy registrado"), this);
    alreadyRegisteredButton->setObjectName(QStringLiteral("Command2"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(registerButton);
    buttons->addWidget(alreadyRegisteredButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(messageLabel);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(registerButton, &QPushButton::clicked, this, &MissingAccountDialog::openRegistration);
    connect(alreadyRegisteredButton, &QPushButton::clicked, this, &QWidget::close);
}

void MissingAccountDialog::openRegistration()
{
    m_windows.context().shell.openUrl(brand::baseUrl() + QStringLiteral("extranet/"));
}

} // namespace account
