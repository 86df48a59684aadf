#pragma once

#include "importexport/excel/import_engine.h"

#include <QString>

// What the progress window shows: the status line, the bar, the times and the final summary.
namespace importexport::excel {

inline constexpr int kMaximoBarra = 145;

// "Importando fila: 12. Progreso 40%" ("columna" when the records are columns).
QString textoProgreso(int record, int total, bool swapped);
int valorBarra(int record, int total);

// Seconds as "1 h 2 min 5 seg" after `prefix`; below 5 seconds with two decimals (cut, not
// rounded).
QString f_formatear_tiempo(double seconds, const QString &prefix);
// The remaining time foreseen from the time spent on the records done so far.
double segundosRestantes(int total, int done, double elapsed);

QString textoResumen(const Contadores &counters);

// The run time without pauses: stretches of running time are opened and closed by the window.
class RunClock final {
public:
    bool abierto() const { return m_inicio >= 0; }
    void abrir(double now);
    // Adds the open stretch to the accumulated time and closes it.
    void cerrar(double now);
    // Adds the open stretch and starts a new one at `now`.
    void reabrir(double now);
    double inicio() const { return m_inicio; }
    double acumulado() const { return m_acumulado; }

private:
    double m_inicio = -1;
    double m_acumulado = 0;
};

} // namespace importexport::excel
