#include "importexport/excel/form13.h"

#include "startup/app_context.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::excel {

Form13::Form13(startup::AppContext &context, QWidget *parent) : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("Form13"));
    setWindowTitle(QStringLiteral("Exportar a Excel"));
    auto *frame = new QGroupBox(QStringLiteral("Exportar a Excel"), this);
    auto *layout = new QVBoxLayout(frame);
    for (const QString &text :
         {QStringLiteral("Mediante este formulario se exporta la agenda de contactos a un Excel, con el mismo formato "
                         "mediante el cual se puede importar más tarde."),
          QStringLiteral("Al pulsar sobre 'Exportar' se abre un Excel con la lista de contactos y su información completa, "
                         "que puedes luego guardar mediante la opción Archivo => Guardar como..."),
          QStringLiteral("Esta operación puede tardar unos minutos, por favor espere a que se haya realizado "
                         "completamente.")}) {
        auto *label = new QLabel(text, frame);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    Combo1 = new QComboBox(frame);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Command1 = new QPushButton(QStringLiteral("Exportar"), frame);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Exportar grupo:"), frame));
    row->addWidget(Combo1, 1);
    row->addWidget(Command1);
    layout->addLayout(row);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(frame);
    connect(Command1, &QPushButton::clicked, this, &Form13::Command1_Click);
    Form_Load();
}

void Form13::Form_Load()
{
    // A failing group list leaves whatever items were read: the whole book can still be exported.
    Combo1->addItems(opcionesExportacion(m_context.conexion));
    Combo1->setCurrentIndex(0);
}

void Form13::Command1_Click()
{
    m_last = exportarContactos({m_context.conexion, m_context.prompter, m_context.shell, m_context.busy},
                               Combo1->currentIndex(), Combo1->currentText(), m_context.ruta_programa);
    if (m_last.closesWindow())
        close();
}

} // namespace importexport::excel
