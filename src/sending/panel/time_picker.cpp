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
    return box == view.Text5() ? TimeBox::Hour : TimeBox::Minute;
}

} // namespace

TimePicker::TimePicker(SendPanelView &view, QObject *parent) : QObject(parent), m_view(view)
{
    // Digits only, with room for a typed "-1", which wraps to the last hour or minute.
    for (QLineEdit *box : {view.Text5(), view.Text4()}) {
        box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,2}")), box));
        box->installEventFilter(this);
    }
    view.Text6()->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")),
                                                               view.Text6()));

    connect(view.Image1(), &QToolButton::clicked, this, &TimePicker::Image1_Click);
    connect(view.Command9(), &QPushButton::clicked, this, &TimePicker::Command9_Click);
    connect(view.Calendar1(), &QCalendarWidget::selectionChanged, this, &TimePicker::rebuild);
    connect(view.Calendar1(), &QCalendarWidget::activated, this, [this] {
        ocultar();
        m_view.Text1()->setFocus();
    });
    connect(view.VScroll2(), &QScrollBar::valueChanged, this,
            [this](int value) { spinnerMovido(m_view.VScroll2(), m_view.Text5(), value); });
    connect(view.VScroll1(), &QScrollBar::valueChanged, this,
            [this](int value) { spinnerMovido(m_view.VScroll1(), m_view.Text4(), value); });
    connect(view.Check2(), &QCheckBox::toggled, this, &TimePicker::Check2_Click);
    connect(view.Text6(), &QLineEdit::textChanged, this, &TimePicker::Text6_Change);
}

TimePicker::~TimePicker() = default;

bool TimePicker::eventFilter(QObject *watched, QEvent *event)
{
    // editingFinished stays quiet when an unchanged box is left; the old handler ran every time.
    if (event->type() == QEvent::FocusOut && (watched == m_view.Text5() || watched == m_view.Text4()))
        cajaAbandonada(static_cast<QLineEdit *>(watched));
    return QObject::eventFilter(watched, event);
}

void TimePicker::rebuild()
{
    m_view.Text3()->setText(fecha_programada(m_view.Calendar1()->selectedDate(), m_view.Text5()->text(),
                                             m_view.Text4()->text(), QDateTime::currentDateTime()));
}

void TimePicker::ponerHoraActual()
{
    const QString hhmm = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    m_view.Text5()->setText(hhmm.left(2));
    m_view.Text4()->setText(hhmm.right(2));
}

void TimePicker::ocultar()
{
    m_view.Calendar1()->hide();
    m_view.Frame1()->hide();
}

void TimePicker::Image1_Click()
{
    QCalendarWidget *calendar = m_view.Calendar1();
    if (calendar->isVisible()) {
        ocultar();
        return;
    }
    if (calendar->property("Tag").toString() == QLatin1String("0")) {
        ponerHoraActual();
        calendar->setProperty("Tag", QStringLiteral("1"));
        const QSignalBlocker quiet(calendar); // choosing today is not the user's choice yet
        calendar->setSelectedDate(QDate::currentDate());
    }
    calendar->show();
    m_view.Frame1()->show();
    calendar->setFocus();
}

void TimePicker::Command9_Click()
{
    rebuild();
    if (m_view.Calendar1()->isVisible())
        ocultar();
}

void TimePicker::cajaAbandonada(QLineEdit *box)
{
    const TimeBoxResult result = normalizarCaja(box->text(), kindOf(m_view, box));
    box->setText(result.text);
    if (result.rebuild)
        rebuild();
}

void TimePicker::spinnerMovido(QScrollBar *bar, QLineEdit *box, int value)
{
    const int previous = bar->property("Tag").toString().toInt();
    if (value != previous) {
        // The bar counts downwards: a larger value is one step down.
        box->setText(pasoSpinner(box->text(), value > previous ? -1 : 1, kindOf(m_view, box)));
    }
    bar->setProperty("Tag", QString::number(value));
    rebuild();
}

void TimePicker::Check2_Click(bool ticked)
{
    m_view.SkinLabel6()->setVisible(ticked);
}

void TimePicker::Text6_Change()
{
    m_view.SkinLabel6()->setText(QStringLiteral("F. Cita (") + m_view.Text6()->text() + QStringLiteral("h antes)"));
}

void TimePicker::limpiar()
{
    m_view.Check2()->setChecked(false);
    m_view.Text6()->setText(QStringLiteral("72"));
    m_view.Text3()->setText(kInmediato);
    ponerHoraActual();
    const QSignalBlocker quiet(m_view.Calendar1());
    m_view.Calendar1()->setSelectedDate(QDate::currentDate());
}

} // namespace sending
