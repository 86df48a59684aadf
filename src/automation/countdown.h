#pragma once

#include <QString>

// The minutes left until the next look at the watched file (the timer's `Tag`): set from the
// stored minutes, lowered once a tick, and allowed below zero.
namespace automation {

class Countdown final {
public:
    // The stored text read as the old client read numbers: its leading digits, 0 when none.
    void reiniciar(const QString &minutes);
    void poner(int value) { m_valor = value; }
    // One tick; true when the countdown has run out.
    bool bajar();
    int valor() const { return m_valor; }

private:
    int m_valor = 0;
};

int valorNumerico(const QString &text);

} // namespace automation
