#include "sending/panel/time_picker.h"

#include "sending/panel/send_panel_view.h"
#include "sending/send_time.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QToolButton>

namespace sending {
namespace {


TimeBox kindOf(const SendPanelView &view, const QLineEdit *box)
{
    return box == view.hourBox() ? TimeBox::Hour : TimeBox::Minute;
}

} // namespace

TimePicker::TimePicker(SendPanelView &view, QObject *parent) : QObject(parent), m_view(view)
{
    // Digits only, with room for a typed "-1", which wraps to the last hour or minute.
    for (QLineEdit *box : {view.hourBox(), view.minuteBox()}) {
        box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,2}")), box));
        box->installEventFilter(this);
    }
    view.appointmentLeadBox()->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")),
                                                               view.appointmentLeadBox()));

    connect(view.calendarImage(), &QToolButton::clicked, this, &TimePicker::toggleCalendar);
    connect(view.closePickerButton(), &QPushButton::clicked, this, &TimePicker::closePicker);
    connect(view.sendDateCalendar(), &QCalendarWidget::selectionChanged, this, &TimePicker::rebuild);
    connect(view.sendDateCalendar(), &QCalendarWidget::activated, this, [this] {
        hidePicker();
        m_view.messageBox()->setFocus();
    });
    connect(view.hourBar(), &QScrollBar::valueChanged, this,
            [this](int value) { spinnerMoved(m_view.hourBar(), m_view.hourBox(), value); });
    connect(view.minuteBar(), &QScrollBar::valueChanged, this,
            [this](int value) { spinnerMoved(m_view.minuteBar(), m_view.minuteBox(), value); });
    connect(view.appointmentCheck(), &QCheckBox::toggled, this, &TimePicker::onAppointmentToggled);
    connect(view.appointmentLeadBox(), &QLineEdit::textChanged, this, &TimePicker::onLeadHoursChanged);
}

TimePicker::~TimePicker() = default;

bool TimePicker::eventFilter(QObject *watched, QEvent *event)
{
    // editingFinished stays quiet when an unchanged box is left; the old handler ran every time.
    if (event->type() == QEvent::FocusOut && (watched == m_view.hourBox() || watched == m_view.minuteBox()))
        normalizeBox(static_cast<QLineEdit *>(watched));
    return QObject::eventFilter(watched, event);
}

void TimePicker::rebuild()
{
    m_view.sendTimeBox()->setText(pickedSendTime(m_view.sendDateCalendar()->selectedDate(), m_view.hourBox()->text(),
                                             m_view.minuteBox()->text(), QDateTime::currentDateTime()));
}

void TimePicker::setCurrentTime()
{
    const QString hhmm = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    m_view.hourBox()->setText(hhmm.left(2));
    m_view.minuteBox()->setText(hhmm.right(2));
}

void TimePicker::hidePicker()
{
    m_view.sendDateCalendar()->hide();
    m_view.timeFrame()->hide();
}

void TimePicker::toggleCalendar()
{
    QCalendarWidget *calendar = m_view.sendDateCalendar();
    if (calendar->isVisible()) {
        hidePicker();
        return;
    }
    if (calendar->property("Tag").toString() == QLatin1String("0")) {
        setCurrentTime();
        calendar->setProperty("Tag", QStringLiteral("1"));
        const QSignalBlocker quiet(calendar); // choosing today is not the user's choice yet
        calendar->setSelectedDate(QDate::currentDate());
    }
    calendar->show();
    m_view.timeFrame()->show();
    calendar->setFocus();
}

void TimePicker::closePicker()
{
    rebuild();
    if (m_view.sendDateCalendar()->isVisible())
        hidePicker();
}

void TimePicker::normalizeBox(QLineEdit *box)
{
    const TimeBoxResult result = normalizeTimeBox(box->text(), kindOf(m_view, box));
    box->setText(result.text);
    if (result.rebuild)
        rebuild();
}

void TimePicker::spinnerMoved(QScrollBar *bar, QLineEdit *box, int value)
{
    const int previous = bar->property("Tag").toString().toInt();
    if (value != previous) {
        // The bar counts downwards: a larger value is one step down.
        box->setText(spinnerStep(box->text(), value > previous ? -1 : 1, kindOf(m_view, box)));
    }
    bar->setProperty("Tag", QString::number(value));
    rebuild();
}

void TimePicker::onAppointmentToggled(bool ticked)
{
    m_view.appointmentDateLabel()->setVisible(ticked);
}

void TimePicker::onLeadHoursChanged()
{
    m_view.appointmentDateLabel()->setText(QStringLiteral("F. Cita (") + m_view.appointmentLeadBox()->text() + QStringLiteral("h antes)"));
}

void TimePicker::clear()
{
    m_view.appointmentCheck()->setChecked(false);
    m_view.appointmentLeadBox()->setText(QStringLiteral("72"));
    m_view.sendTimeBox()->setText(kImmediate);
    setCurrentTime();
    const QSignalBlocker quiet(m_view.sendDateCalendar());
    m_view.sendDateCalendar()->setSelectedDate(QDate::currentDate());
}

} // namespace sending
