#include "history/export/history_export_dialog.h"

#include "brand/brand.h"
#include "seams/app_context.h"

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

HistoryExportDialog::HistoryExportDialog(seams::AppContext &context, const QDate &today, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_context(context)
{
    setObjectName(QStringLiteral("Form18"));
    setWindowTitle(QStringLiteral("Exportar Historial a Excel"));
    buildControls();
    load(today);
}

HistoryExportDialog::~HistoryExportDialog() = default;

void HistoryExportDialog::buildControls()
{
    auto *frame = new QGroupBox(QStringLiteral("Exportar historial a Excel"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(wrappedLabel(
        QStringLiteral("Mediante este formulario se exporta el historial de envíos de SMS a un archivo Excel."),
        "SkinLabel1", frame));
    frameLayout->addWidget(wrappedLabel(QStringLiteral("Exportar envíos realizados entre:"), "SkinLabel4", frame));

    auto *dates = new QGridLayout;
    fromBox = new QLineEdit(frame);
    fromBox->setObjectName(QStringLiteral("Text1"));
    fromCalendarButton = new QToolButton(frame);
    fromCalendarButton->setObjectName(QStringLiteral("Picture1"));
    fromCalendarButton->setArrowType(Qt::DownArrow);
    toBox = new QLineEdit(frame);
    toBox->setObjectName(QStringLiteral("Text2"));
    toCalendarButton = new QToolButton(frame);
    toCalendarButton->setObjectName(QStringLiteral("Picture2"));
    toCalendarButton->setArrowType(Qt::DownArrow);
    fromCalendar = new QCalendarWidget(frame);
    fromCalendar->setObjectName(QStringLiteral("Calendar1"));
    toCalendar = new QCalendarWidget(frame);
    toCalendar->setObjectName(QStringLiteral("Calendar2"));
    auto *y = new QLabel(QStringLiteral("y"), frame);
    y->setObjectName(QStringLiteral("SkinLabel5"));
    dates->addWidget(fromBox, 0, 0);
    dates->addWidget(fromCalendarButton, 0, 1);
    dates->addWidget(y, 0, 2);
    dates->addWidget(toBox, 0, 3);
    dates->addWidget(toCalendarButton, 0, 4);
    dates->addWidget(fromCalendar, 1, 0, 1, 2);
    dates->addWidget(toCalendar, 1, 3, 1, 2);
    frameLayout->addLayout(dates);
    chainCalendar(fromBox, fromCalendarButton, fromCalendar);
    chainCalendar(toBox, toCalendarButton, toCalendar);

    auto *optionsFrame = new QGroupBox(QStringLiteral("Opciones:"), frame);
    optionsFrame->setObjectName(QStringLiteral("Frame2"));
    auto *optionsLayout = new QGridLayout(optionsFrame);
    showNamesCheck = new QCheckBox(QStringLiteral("Mostrar nombres de los destinatarios guardados en la agenda."), optionsFrame);
    showNamesCheck->setObjectName(QStringLiteral("Check1"));
    senderFilterCheck = new QCheckBox(QStringLiteral("Filtrar por remitente:"), optionsFrame);
    senderFilterCheck->setObjectName(QStringLiteral("Check2"));
    senderCombo = new QComboBox(optionsFrame);
    senderCombo->setObjectName(QStringLiteral("Combo1"));
    splitRowsCheck = new QCheckBox(QStringLiteral("Separar por filas los envíos a varios destinatarios."), optionsFrame);
    splitRowsCheck->setObjectName(QStringLiteral("Check3"));
    optionsLayout->addWidget(showNamesCheck, 0, 0, 1, 2);
    optionsLayout->addWidget(senderFilterCheck, 1, 0);
    optionsLayout->addWidget(senderCombo, 1, 1);
    optionsLayout->addWidget(splitRowsCheck, 2, 0, 1, 2);
    frameLayout->addWidget(optionsFrame);

    frameLayout->addWidget(wrappedLabel(
        QStringLiteral("Al pulsar sobre 'Exportar' se le pide el nombre y la carpeta del archivo Excel. La lista de "
                       "envíos se guarda en él con su información detallada y después se abre con el programa que su "
                       "equipo tenga para los archivos Excel."),
        "SkinLabel2", frame));
    frameLayout->addWidget(wrappedLabel(QStringLiteral("Esta operación puede tardar unos minutos, por favor espere a "
                                                       "que se haya realizado completamente."),
                                        "SkinLabel3", frame));
    exportButton = new QPushButton(QStringLiteral("Exportar"), frame);
    exportButton->setObjectName(QStringLiteral("Command1"));
    frameLayout->addWidget(exportButton, 0, Qt::AlignRight);
    connect(exportButton, &QPushButton::clicked, this, &HistoryExportDialog::onExportClicked);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
}

void HistoryExportDialog::load(const QDate &today)
{
    const Period period = defaultPeriod(today);
    fromCalendar->setSelectedDate(period.fromDate);
    toCalendar->setSelectedDate(period.toDate);
    fromBox->setText(period.fromDate.toString(kDateFormat));
    toBox->setText(period.toDate.toString(kDateFormat));

    const SenderChoice senders = senderChoice(m_context.connection);
    senderCombo->addItems(senders.items);
    senderFilterCheck->setEnabled(senders.filterEnabled);
    senderCombo->setCurrentIndex(0);
}

Options HistoryExportDialog::options() const
{
    Options o;
    o.fromDate = fromBox->text();
    o.toDate = toBox->text();
    o.showNames = showNamesCheck->isChecked();
    o.filterBySender = senderFilterCheck->isEnabled() && senderFilterCheck->isChecked();
    o.sender = senderCombo->currentText();
    o.splitRows = splitRowsCheck->isChecked();
    return o;
}

void HistoryExportDialog::onExportClicked()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = m_context.programFolder;
    m_last = runExport({m_context.connection, m_context.prompter, m_context.shell, m_context.busy}, options(),
                      brand::brandName(), folder);
    Q_EMIT exported(m_last);
}

} // namespace history::exporting
