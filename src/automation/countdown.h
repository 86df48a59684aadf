#pragma once

#include <QString>

// The minutes left until the next look at the watched file (the timer's `Tag`): set from the
// stored minutes, lowered once a tick, and allowed below zero.
namespace automation {

class Countdown final {
public:
    // The stored text read as the old client read numbers: its leading digits, 0 when none.
    void reset(const QString &minutes);
    void set(int value) { m_value = value; }
    // One tick; true when the countdown has run out.
    bool countDown();
    int value() const { return m_value; }

private:
    int m_value = 0;
};

int leadingNumber(const QString &text);

} // namespace automation
