#pragma once

#include "importexport/excel/import_engine.h"

#include <QString>

// What the progress window shows: the status line, the bar, the times and the final summary.
namespace importexport::excel {

inline constexpr int kBarMaximum = 145;

// "Importando fila: 12. Progreso 40%" ("columna" when the records are columns).
QString progressText(int record, int total, bool swapped);
int barValue(int record, int total);

// Seconds as "1 h 2 min 5 seg" after `prefix`; below 5 seconds with two decimals (cut, not
// rounded).
QString formatDuration(double seconds, const QString &prefix);
// The remaining time foreseen from the time spent on the records done so far.
double remainingSeconds(int total, int done, double elapsed);

QString summaryText(const Counters &counters);

// The run time without pauses: stretches of running time are opened and closed by the window.
class RunClock final {
public:
    bool isOpen() const { return m_start >= 0; }
    void open(double now);
    // Adds the open stretch to the accumulated time and closes it.
    void close(double now);
    // Adds the open stretch and starts a new one at `now`.
    void reopen(double now);
    double start() const { return m_start; }
    double accumulated() const { return m_accumulated; }

private:
    double m_start = -1;
    double m_accumulated = 0;
};

} // namespace importexport::excel
