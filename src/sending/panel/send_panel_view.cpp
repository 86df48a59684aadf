#include "sending/panel/send_panel_view.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace sending {
namespace {

QToolButton *iconButton(QWidget *parent, const char *name, QStyle::StandardPixmap pixmap, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(pixmap));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

// A spinner as the old panel had it: a vertical bar whose every step is read against its Tag.
QScrollBar *spinner(QWidget *parent, const char *name)
{
    auto *bar = new QScrollBar(Qt::Vertical, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 10000);
    bar->setValue(5000);
    bar->setProperty("Tag", QStringLiteral("5000"));
    bar->setFixedSize(16, 34);
    return bar;
}

QLineEdit *shortBox(QWidget *parent, const char *name, const QString &text, int maxLength)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(maxLength);
    box->setAlignment(Qt::AlignCenter);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 16);
    return box;
}

} // namespace

SendPanelView::SendPanelView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picOptions0"));
    auto *columns = new QHBoxLayout(this);
    columns->addWidget(buildMessageColumn(), 3);
    columns->addWidget(buildSideColumn(), 2);

    m_senderCombo->installEventFilter(this);
    connect(m_senderCombo, &QComboBox::currentIndexChanged, this, &SendPanelView::onSenderChosen);
    // Only the user's own choice, by mouse or keyboard: refills and code changes are no choice.
    connect(m_senderCombo, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index == m_senderCombo->currentIndex()
            && m_senderCombo->itemText(index) != QLatin1String(kCreateSenderItem))
            Q_EMIT senderChosen();
    });
}

SendPanelView::~SendPanelView() = default;

QWidget *SendPanelView::buildMessageColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *header = new QHBoxLayout;
    header->addWidget(makeLabel(column, "Label1", QStringLiteral("Mensaje:")));
    header->addStretch();
    m_pickTemplateImage = iconButton(column, "Image3", QStyle::SP_FileDialogDetailedView, QStringLiteral("Utilizar plantilla >"));
    m_clearAllImage = iconButton(column, "Image5", QStyle::SP_DialogResetButton, QStringLiteral("Limpiar todo el mensaje"));
    header->addWidget(m_pickTemplateImage);
    header->addWidget(m_clearAllImage);
    layout->addLayout(header);

    m_messageBox = new QPlainTextEdit(column);
    m_messageBox->setObjectName(QStringLiteral("Text1"));
    m_messageBox->setTabChangesFocus(true);
    layout->addWidget(m_messageBox, 1);

    auto *counter = new QHBoxLayout;
    counter->addWidget(makeLabel(column, "Label3", QStringLiteral("Caracteres:")));
    m_lengthLabel = makeLabel(column, "lblMsglen", QStringLiteral("0"));
    m_lengthLimitLabel = makeLabel(column, "lblLenMax", QStringLiteral("160"));
    counter->addWidget(m_lengthLabel);
    counter->addWidget(makeLabel(column, nullptr, QStringLiteral("/")));
    counter->addWidget(m_lengthLimitLabel);
    counter->addStretch();
    layout->addLayout(counter);

    auto *figures = new QGridLayout;
    figures->addWidget(makeLabel(column, "Label4", QStringLiteral("Coste:")), 0, 0);
    m_costLabel = makeLabel(column, "lblCoste", QStringLiteral("1 crédito(s)"));
    figures->addWidget(m_costLabel, 0, 1);
    m_refreshCostImage = iconButton(column, "Image10", QStyle::SP_BrowserReload, QStringLiteral("Actualizar coste"));
    figures->addWidget(m_refreshCostImage, 0, 2);
    figures->addWidget(makeLabel(column, "Label5", QStringLiteral("Saldo:")), 1, 0);
    m_balanceLabel = makeLabel(column, "lblsaldo", QStringLiteral("Desconocido"));
    figures->addWidget(m_balanceLabel, 1, 1);
    m_refreshBalanceImage = iconButton(column, "Image11", QStyle::SP_BrowserReload, QStringLiteral("Actualizar saldo"));
    figures->addWidget(m_refreshBalanceImage, 1, 2);
    figures->setColumnStretch(3, 1);
    layout->addLayout(figures);
    return column;
}

QWidget *SendPanelView::buildSideColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *header = new QHBoxLayout;
    header->addWidget(makeLabel(column, "Label6", QStringLiteral("Enviar a:")));
    header->addStretch();
    m_pickRecipientsImage = iconButton(column, "Image2", QStyle::SP_DirHomeIcon, QStringLiteral("Añadir destinatarios de la agenda"));
    m_clearRecipientsImage = iconButton(column, "Image4", QStyle::SP_DialogDiscardButton, QStringLiteral("Borrar destinatarios"));
    m_clearRecipientsImage->hide();
    header->addWidget(m_pickRecipientsImage);
    header->addWidget(m_clearRecipientsImage);
    layout->addLayout(header);

    // A plain-text edit: long lists of numbers are not cut at a line edit's 32767 characters.
    m_recipientsBox = new QPlainTextEdit(column);
    m_recipientsBox->setObjectName(QStringLiteral("Text2"));
    m_recipientsBox->setTabChangesFocus(true);
    m_recipientsBox->setMaximumHeight(m_recipientsBox->fontMetrics().lineSpacing() * 4 + 12);
    layout->addWidget(m_recipientsBox);

    m_pickedRecipientLabel = makeLabel(column, "SkinLabel4", QString());
    m_pickedRecipientLabel->setWordWrap(true);
    layout->addWidget(m_pickedRecipientLabel);

    auto *form = new QGridLayout;
    form->addWidget(makeLabel(column, "Label7", QStringLiteral("Remitente:")), 0, 0);
    m_senderCombo = new QComboBox(column);
    m_senderCombo->setObjectName(QStringLiteral("Combo1"));
    m_senderCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    form->addWidget(m_senderCombo, 0, 1, 1, 2);

    m_sendDateLabel = makeLabel(column, "Label2", QStringLiteral("Fecha de envío:"));
    form->addWidget(m_sendDateLabel, 1, 0);
    m_sendTimeBox = new QLineEdit(QStringLiteral("Inmediato"), column);
    m_sendTimeBox->setObjectName(QStringLiteral("Text3"));
    m_sendTimeBox->setReadOnly(true);
    m_sendTimeBox->setMinimumWidth(m_sendTimeBox->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00")) + 16);
    form->addWidget(m_sendTimeBox, 1, 1);
    m_calendarImage = iconButton(column, "Image1", QStyle::SP_FileDialogInfoView, QStringLiteral("Programar fecha y hora de envío"));
    form->addWidget(m_calendarImage, 1, 2);
    m_appointmentDateLabel = makeLabel(column, "SkinLabel6", QStringLiteral("F. Cita (72h antes)"));
    m_appointmentDateLabel->hide();
    form->addWidget(m_appointmentDateLabel, 2, 0, 1, 3);
    form->setColumnStretch(1, 1);
    layout->addLayout(form);

    layout->addWidget(buildPicker());
    layout->addStretch();

    m_sendButton = new QPushButton(QStringLiteral("Enviar SMS"), column);
    m_sendButton->setObjectName(QStringLiteral("Command1"));
    m_sendButton->setDefault(false);
    layout->addWidget(m_sendButton, 0, Qt::AlignRight);
    return column;
}

QWidget *SendPanelView::buildPicker()
{
    auto *picker = new QWidget(this);
    auto *layout = new QVBoxLayout(picker);
    layout->setContentsMargins(0, 0, 0, 0);

    m_sendDateCalendar = new QCalendarWidget(picker);
    m_sendDateCalendar->setObjectName(QStringLiteral("Calendar1"));
    m_sendDateCalendar->setProperty("Tag", QStringLiteral("0"));
    m_sendDateCalendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_sendDateCalendar->setGridVisible(true);
    m_sendDateCalendar->setLocale(QLocale(QLocale::Spanish, QLocale::Spain));
    // A header and seven rows of days, whatever padding the skin gives the cells.
    m_sendDateCalendar->setMinimumHeight(m_sendDateCalendar->fontMetrics().lineSpacing() * 10 + 40);
    m_sendDateCalendar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_sendDateCalendar->hide();
    layout->addWidget(m_sendDateCalendar);

    m_timeFrame = new QGroupBox(QStringLiteral("Hora"), picker);
    m_timeFrame->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(m_timeFrame);
    m_hourBox = shortBox(m_timeFrame, "Text5", QStringLiteral("00"), 2);
    m_hourBar = spinner(m_timeFrame, "VScroll2");
    m_minuteBox = shortBox(m_timeFrame, "Text4", QStringLiteral("00"), 2);
    m_minuteBar = spinner(m_timeFrame, "VScroll1");
    auto *time = new QHBoxLayout;
    time->addWidget(m_hourBox);
    time->addWidget(m_hourBar);
    time->addWidget(makeLabel(m_timeFrame, nullptr, QStringLiteral(":")));
    time->addWidget(m_minuteBox);
    time->addWidget(m_minuteBar);
    time->addStretch();
    m_closePickerButton = new QPushButton(QStringLiteral("Cerrar"), m_timeFrame);
    m_closePickerButton->setObjectName(QStringLiteral("Command9"));
    time->addWidget(m_closePickerButton);
    grid->addLayout(time, 0, 0);

    auto *appointment = new QHBoxLayout;
    m_appointmentCheck = new QCheckBox(QStringLiteral("Es una cita. Enviar con"), m_timeFrame);
    m_appointmentCheck->setObjectName(QStringLiteral("Check2"));
    m_appointmentLeadBox = shortBox(m_timeFrame, "Text6", QStringLiteral("72"), 4);
    appointment->addWidget(m_appointmentCheck);
    appointment->addWidget(m_appointmentLeadBox);
    appointment->addWidget(makeLabel(m_timeFrame, "SkinLabel7", QStringLiteral("horas antelación")));
    appointment->addStretch();
    grid->addLayout(appointment, 1, 0);
    m_timeFrame->hide();
    layout->addWidget(m_timeFrame);
    return picker;
}

bool SendPanelView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_senderCombo && event->type() == QEvent::FocusIn)
        appendCreateSenderItem();
    return QWidget::eventFilter(watched, event);
}

void SendPanelView::appendCreateSenderItem()
{
    const QString createItem = QLatin1String(kCreateSenderItem);
    const int count = m_senderCombo->count();
    if (count > 0 && m_senderCombo->itemText(count - 1) == createItem)
        return;
    // Adding or removing the entry is not a choice of the user's.
    const QString previous = m_senderComboTag;
    m_senderComboTag = QStringLiteral("1");
    const int found = m_senderCombo->findText(createItem, Qt::MatchExactly);
    if (found >= 0)
        m_senderCombo->removeItem(found);
    m_senderCombo->addItem(createItem);
    m_senderComboTag = previous;
}

void SendPanelView::onSenderChosen(int index)
{
    if (m_senderComboTag == QLatin1String("1")) {
        m_senderComboTag = QStringLiteral("0");
        return;
    }
    if (index < 0 || m_senderCombo->itemText(index) != QLatin1String(kCreateSenderItem))
        return;
    m_senderComboTag = QStringLiteral("1");
    m_senderCombo->removeItem(index);
    m_senderComboTag = QStringLiteral("1");
    m_senderCombo->setCurrentIndex(m_senderCombo->count() > 0 ? 0 : -1);
    m_senderComboTag = QStringLiteral("0");
    Q_EMIT createSenderRequested();
}

} // namespace sending
