#include "importexport/access/form8.h"

#include "importexport/access/file_chooser.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "startup/app_context.h"
#include "startup/brand.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::access {

Form8::Form8(startup::AppContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_context(context)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Importar Agenda"));
    auto *customerFrame = new QGroupBox(QStringLiteral("Seleccionar BBDD Clientes"), this);
    Clientes = new FileChooser(context.prompter, {}, customerFrame);
    Clientes->setCarpeta(context.ruta_programa);
    (new QVBoxLayout(customerFrame))->addWidget(Clientes);
    auto *programFrame = new QGroupBox(QStringLiteral("Seleccionar BBDD ") + brand::nombre_marca() + QStringLiteral(" Desktop"), this);
    Programa = new FileChooser(context.prompter, {}, programFrame);
    (new QVBoxLayout(programFrame))->addWidget(Programa);

    Check1 = new QCheckBox(QStringLiteral("numerico tipo_telefono"), this);
    Check2 = new QCheckBox(QStringLiteral("numerico id_cliente"), this);
    Check3 = new QCheckBox(QStringLiteral("numerico id_tipo_cliente"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2->setObjectName(QStringLiteral("Check2"));
    Check3->setObjectName(QStringLiteral("Check3"));
    for (QCheckBox *check : {Check1, Check2, Check3})
        check->setChecked(true);
    Command1 = new QPushButton(QStringLiteral("Importar"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("Salir"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    auto *frames = new QHBoxLayout;
    frames->addWidget(customerFrame);
    frames->addWidget(programFrame);
    auto *bottom = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{Check1, Check2, Check3})
        bottom->addWidget(w);
    bottom->addStretch();
    bottom->addWidget(Command1);
    bottom->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addLayout(bottom);

    connect(Command1, &QPushButton::clicked, this, &Form8::Command1_Click);
    // Closing this window is all "Salir" does here: ending the whole client from a side window
    // would lose the work of every other window.
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
}

Form8::~Form8() = default;

void Form8::Command1_Click()
{
    const QString customerPath = Clientes->ruta();
    const QString programPath = Programa->ruta();
    if (customerPath.isEmpty() || programPath.isEmpty()) {
        m_context.prompter.message(QStringLiteral("Seleccione la base de datos de clientes y la base de datos de %1 "
                                                  "Desktop.").arg(brand::nombre_marca()),
                                   QStringLiteral("Error"), ui::Icon::Warning);
        return;
    }
    const CustomerOptions options{Check1->isChecked(), Check2->isChecked(), Check3->isChecked()};
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("Form8.import"));
        m_last = importarClientes(customerPath, programPath, options);
    }
    if (m_last.status == CustomerStatus::Ok)
        m_context.prompter.message(m_last.mensaje);
    else
        m_context.prompter.message(m_last.mensaje, QStringLiteral("Error"), ui::Icon::Critical);
}

} // namespace importexport::access
