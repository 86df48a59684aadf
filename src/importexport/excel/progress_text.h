#pragma once

#include "importexport/excel/import_engine.h"

#include <QString>

// What the progress window shows: the status line, the bar, the times and the final summary.
namespace importexport::excel {

inline constexpr int kMaximoBarra = 145;

// "Importando fila: 12. Progreso 40%" ("columna" when the records are columns).
QString textoProgreso(int registro, int total, bool swapped);
int valorBarra(int registro, int total);

// Seconds as "1 h 2 min 5 seg" after `prefijo`; below 5 seconds with two decimals (cut, not
// rounded).
QString f_formatear_tiempo(double segundos, const QString &prefijo);
// The remaining time foreseen from the time spent on the records done so far.
double segundosRestantes(int total, int actual, double acumulado);

QString textoResumen(const Contadores &contadores);

// The run time without pauses: stretches of running time are opened and closed by the window.
class RunClock final {
public:
    bool abierto() const { return m_inicio >= 0; }
    void abrir(double ahora);
    // Adds the open stretch to the accumulated time and closes it.
    void cerrar(double ahora);
    // Adds the open stretch and starts a new one at `ahora`.
    void reabrir(double ahora);
    double inicio() const { return m_inicio; }
    double acumulado() const { return m_acumulado; }

private:
    double m_inicio = -1;
    double m_acumulado = 0;
};

} // namespace importexport::excel
