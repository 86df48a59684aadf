#include "importexport/access/customer_import_window.h"

#include "brand/brand.h"
#include "importexport/access/file_chooser.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::access {

CustomerImportWindow::CustomerImportWindow(seams::AppContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_context(context)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Importar Agenda"));
    auto *customerFrame = new QGroupBox(QStringLiteral("Seleccionar BBDD Clientes"), this);
    customerChooser = new FileChooser(context.prompter, {}, customerFrame);
    customerChooser->setFolder(context.programFolder);
    (new QVBoxLayout(customerFrame))->addWidget(customerChooser);
    auto *programFrame = new QGroupBox(QStringLiteral("Seleccionar BBDD ") + brand::brandName() + QStringLiteral(" Desktop"), this);
    programChooser = new FileChooser(context.prompter, {}, programFrame);
    (new QVBoxLayout(programFrame))->addWidget(programChooser);

    numericPhoneTypeCheck = new QCheckBox(QStringLiteral("numerico tipo_telefono"), this);
    numericCustomerIdCheck = new QCheckBox(QStringLiteral("numerico id_cliente"), this);
    numericCustomerTypeIdCheck = new QCheckBox(QStringLiteral("numerico id_tipo_cliente"), this);
    numericPhoneTypeCheck->setObjectName(QStringLiteral("Check1"));
    numericCustomerIdCheck->setObjectName(QStringLiteral("Check2"));
    numericCustomerTypeIdCheck->setObjectName(QStringLiteral("Check3"));
    for (QCheckBox *check : {numericPhoneTypeCheck, numericCustomerIdCheck, numericCustomerTypeIdCheck})
        check->setChecked(true);
    importButton = new QPushButton(QStringLiteral("Importar"), this);
    importButton->setObjectName(QStringLiteral("Command1"));
    exitButton = new QPushButton(QStringLiteral("Salir"), this);
    exitButton->setObjectName(QStringLiteral("Command2"));

    auto *frames = new QHBoxLayout;
    frames->addWidget(customerFrame);
    frames->addWidget(programFrame);
    auto *bottom = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{numericPhoneTypeCheck, numericCustomerIdCheck, numericCustomerTypeIdCheck})
        bottom->addWidget(w);
    bottom->addStretch();
    bottom->addWidget(importButton);
    bottom->addWidget(exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addLayout(bottom);

    connect(importButton, &QPushButton::clicked, this, &CustomerImportWindow::importCustomers);
    // Closing this window is all "Salir" does here: ending the whole client from a side window
    // would lose the work of every other window.
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
}

CustomerImportWindow::~CustomerImportWindow() = default;

void CustomerImportWindow::importCustomers()
{
    const QString customerPath = customerChooser->path();
    const QString programPath = programChooser->path();
    if (customerPath.isEmpty() || programPath.isEmpty()) {
        m_context.prompter.message(QStringLiteral("Seleccione la base de datos de clientes y la base de datos de %1 "
                                                  "Desktop.").arg(brand::brandName()),
                                   QStringLiteral("Error"), ui::Icon::Warning);
        return;
    }
    const CustomerOptions options{numericPhoneTypeCheck->isChecked(), numericCustomerIdCheck->isChecked(), numericCustomerTypeIdCheck->isChecked()};
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("Form8.import"));
        m_last = importCustomerDatabase(customerPath, programPath, options);
    }
    if (m_last.status == CustomerStatus::Ok)
        m_context.prompter.message(m_last.message);
    else
        m_context.prompter.message(m_last.message, QStringLiteral("Error"), ui::Icon::Critical);
}

} // namespace importexport::access
