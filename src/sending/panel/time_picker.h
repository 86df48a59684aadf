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

    void Image1_Click();
    void Command9_Click();
    // The part of "clear the whole panel" that belongs to the picker.
    void limpiar();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void cajaAbandonada(QLineEdit *box);
    void spinnerMovido(QScrollBar *bar, QLineEdit *box, int value);
    void Check2_Click(bool ticked);
    void Text6_Change();
    void ponerHoraActual();
    void ocultar();

    SendPanelView &m_view;
};

} // namespace sending
