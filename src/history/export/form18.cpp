#include "history/export/form18.h"

#include "startup/app_context.h"
#include "startup/brand.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

namespace history::exporting {

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QLabel *wrappedLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}

// A date box with its drop-down calendar: the button shows or hides the calendar, a click on a
// day writes it into the box, a double click (or Enter) closes the calendar.
void chainCalendar(QLineEdit *box, QToolButton *button, QCalendarWidget *calendar)
{
    calendar->hide();
    QObject::connect(button, &QToolButton::clicked, calendar, [calendar] { calendar->setVisible(!calendar->isVisible()); });
    QObject::connect(calendar, &QCalendarWidget::clicked, box,
                     [box](const QDate &date) { box->setText(date.toString(kDateFormat)); });
    QObject::connect(calendar, &QCalendarWidget::activated, calendar, [calendar] { calendar->hide(); });
}

} // namespace

Form18::Form18(startup::AppContext &context, const QDate &today, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_context(context)
{
    setObjectName(QStringLiteral("Form18"));
    setWindowTitle(QStringLiteral("Exportar Historial a Excel"));
    buildControls();
    Form_Load(today);
}

Form18::~Form18() = default;

void Form18::buildControls()
{
    auto *frame = new QGroupBox(QStringLiteral("Exportar historial a Excel"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(wrappedLabel(
        QStringLiteral("Mediante este formulario se exporta el historial de envíos de SMS a un archivo Excel."),
        "SkinLabel1", frame));
    frameLayout->addWidget(wrappedLabel(QStringLiteral("Exportar envíos realizados entre:"), "SkinLabel4", frame));

    auto *dates = new QGridLayout;
    Text1 = new QLineEdit(frame);
    Text1->setObjectName(QStringLiteral("Text1"));
    Picture1 = new QToolButton(frame);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setArrowType(Qt::DownArrow);
    Text2 = new QLineEdit(frame);
    Text2->setObjectName(QStringLiteral("Text2"));
    Picture2 = new QToolButton(frame);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setArrowType(Qt::DownArrow);
    Calendar1 = new QCalendarWidget(frame);
    Calendar1->setObjectName(QStringLiteral("Calendar1"));
    Calendar2 = new QCalendarWidget(frame);
    Calendar2->setObjectName(QStringLiteral("Calendar2"));
    auto *y = new QLabel(QStringLiteral("y"), frame);
    y->setObjectName(QStringLiteral("SkinLabel5"));
    dates->addWidget(Text1, 0, 0);
    dates->addWidget(Picture1, 0, 1);
    dates->addWidget(y, 0, 2);
    dates->addWidget(Text2, 0, 3);
    dates->addWidget(Picture2, 0, 4);
    dates->addWidget(Calendar1, 1, 0, 1, 2);
    dates->addWidget(Calendar2, 1, 3, 1, 2);
    frameLayout->addLayout(dates);
    chainCalendar(Text1, Picture1, Calendar1);
    chainCalendar(Text2, Picture2, Calendar2);

    auto *optionsFrame = new QGroupBox(QStringLiteral("Opciones:"), frame);
    optionsFrame->setObjectName(QStringLiteral("Frame2"));
    auto *optionsLayout = new QGridLayout(optionsFrame);
    Check1 = new QCheckBox(QStringLiteral("Mostrar nombres de los destinatarios guardados en la agenda."), optionsFrame);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Filtrar por remitente:"), optionsFrame);
    Check2->setObjectName(QStringLiteral("Check2"));
    Combo1 = new QComboBox(optionsFrame);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Check3 = new QCheckBox(QStringLiteral("Separar por filas los envíos a varios destinatarios."), optionsFrame);
    Check3->setObjectName(QStringLiteral("Check3"));
    optionsLayout->addWidget(Check1, 0, 0, 1, 2);
    optionsLayout->addWidget(Check2, 1, 0);
    optionsLayout->addWidget(Combo1, 1, 1);
    optionsLayout->addWidget(Check3, 2, 0, 1, 2);
    frameLayout->addWidget(optionsFrame);

    frameLayout->addWidget(wrappedLabel(
        QStringLiteral("Al pulsar sobre 'Exportar' se abre un Excel con la lista de envíos y su información "
                       "detallada, que puedes luego guardar mediante la opción Archivo => Guardar como..."),
        "SkinLabel2", frame));
    frameLayout->addWidget(wrappedLabel(QStringLiteral("Esta operación puede tardar unos minutos, por favor espere a "
                                                       "que se haya realizado completamente."),
                                        "SkinLabel3", frame));
    Command1 = new QPushButton(QStringLiteral("Exportar"), frame);
    Command1->setObjectName(QStringLiteral("Command1"));
    frameLayout->addWidget(Command1, 0, Qt::AlignRight);
    connect(Command1, &QPushButton::clicked, this, &Form18::Command1_Click);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
}

void Form18::Form_Load(const QDate &today)
{
    const Period period = defaultPeriod(today);
    Calendar1->setSelectedDate(period.desde);
    Calendar2->setSelectedDate(period.hasta);
    Text1->setText(period.desde.toString(kDateFormat));
    Text2->setText(period.hasta.toString(kDateFormat));

    const SenderChoice senders = senderChoice(m_context.conexion);
    Combo1->addItems(senders.items);
    Check2->setEnabled(senders.filterEnabled);
    Combo1->setCurrentIndex(0);
}

Options Form18::options() const
{
    Options o;
    o.desde = Text1->text();
    o.hasta = Text2->text();
    o.mostrarNombres = Check1->isChecked();
    o.filtrarRemitente = Check2->isEnabled() && Check2->isChecked();
    o.remitente = Combo1->currentText();
    o.separarFilas = Check3->isChecked();
    return o;
}

void Form18::Command1_Click()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = m_context.ruta_programa;
    m_last = exportar({m_context.conexion, m_context.prompter, m_context.shell, m_context.busy}, options(),
                      brand::nombre_marca(), folder);
    Q_EMIT exported(m_last);
}

} // namespace history::exporting
