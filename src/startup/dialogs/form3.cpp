#include "startup/dialogs/form3.h"

#include "platform/ui/shell.h"
#include "startup/app_context.h"
#include "startup/brand.h"
#include "startup/dialogs/account_windows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace startup {

Form3::Form3(AccountWindows &windows, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_windows(windows)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Ausencia de datos de usuario"));
    SkinLabel1 = new QLabel(QStringLiteral("Para el correcto funcionamiento del programa, es necesario introducir los "
                                           "datos de usuario tras registrarse de manera completamente gratuita en ")
                                + brand::servidor_web(),
                            this);
    SkinLabel1->setObjectName(QStringLiteral("SkinLabel1"));
    SkinLabel1->setWordWrap(true);
    Command1 = new QPushButton(QStringLiteral("Deseo registrarme en ") + brand::nombre_marca(), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("Ya estoy registrado"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SkinLabel1);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
}

void Form3::Command1_Click()
{
    m_windows.context().shell.openUrl(brand::url_base() + QStringLiteral("extranet/"));
}

} // namespace startup
