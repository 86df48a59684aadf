#pragma once

#include <QObject>

class QLineEdit;
class QScrollBar;

// The send panel's time picker and appointment mode: the calendar icon, the calendar, the hour
// and minute boxes with their spinners, "Cerrar", and the appointment option. Every change
// rebuilds the send-time box ("Inmediato" or "yyyy-MM-dd HH:mm").
namespace sending {

class SendPanelView;

class TimePicker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TimePicker)

public:
    explicit TimePicker(SendPanelView &view, QObject *parent = nullptr);
    ~TimePicker() override;

    void toggleCalendar();
    void closePicker();
    // The part of "clear the whole panel" that belongs to the picker.
    void clear();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void normalizeBox(QLineEdit *box);
    void spinnerMoved(QScrollBar *bar, QLineEdit *box, int value);
    void onAppointmentToggled(bool ticked);
    void onLeadHoursChanged();
    void setCurrentTime();
    void hidePicker();

    SendPanelView &m_view;
};

} // namespace sending
