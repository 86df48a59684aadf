#include "importexport/excel/excel_export_window.h"

#include "seams/app_context.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::excel {

ExcelExportWindow::ExcelExportWindow(seams::AppContext &context, QWidget *parent) : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("Form13"));
    setWindowTitle(QStringLiteral("Exportar a Excel"));
    auto *frame = new QGroupBox(QStringLiteral("Exportar a Excel"), this);
    auto *layout = new QVBoxLayout(frame);
    for (const QString &text :
         {QStringLiteral("Mediante este formulario se exporta la agenda de contactos a un Excel, con el mismo formato "
                         "mediante el cual se puede importar más tarde."),
          QStringLiteral("Al pulsar sobre 'Exportar' se le pide el nombre y la carpeta del archivo Excel. La lista de "
                         "contactos se guarda en él con su información completa y después se abre con el programa que "
                         "su equipo tenga para los archivos Excel."),
          QStringLiteral("Esta operación puede tardar unos minutos, por favor espere a que se haya realizado "
                         "completamente.")}) {
        auto *label = new QLabel(text, frame);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    groupCombo = new QComboBox(frame);
    groupCombo->setObjectName(QStringLiteral("Combo1"));
    exportButton = new QPushButton(QStringLiteral("Exportar"), frame);
    exportButton->setObjectName(QStringLiteral("Command1"));
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Exportar grupo:"), frame));
    row->addWidget(groupCombo, 1);
    row->addWidget(exportButton);
    layout->addLayout(row);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(frame);
    connect(exportButton, &QPushButton::clicked, this, &ExcelExportWindow::exportSelection);
    load();
}

void ExcelExportWindow::load()
{
    // A failing group list leaves whatever items were read: every contact can still be exported.
    groupCombo->addItems(exportOptions(m_context.connection));
    groupCombo->setCurrentIndex(0);
}

void ExcelExportWindow::exportSelection()
{
    m_last = exportContacts({m_context.connection, m_context.prompter, m_context.shell, m_context.busy},
                               groupCombo->currentIndex(), groupCombo->currentText(), m_context.programFolder);
    if (m_last.closesWindow())
        close();
}

} // namespace importexport::excel
