#pragma once

#include "history/condition.h"

#include <QString>

// The history filter panel turned into a condition over `Historial` (buildHistoryFilter).
namespace history {

// What the panel holds; defaults as the panel starts.
struct FilterPanel {
    bool porFechas = false;                       // "Enviado entre"
    QString desde = QStringLiteral("2000-01-01");
    QString hasta = QStringLiteral("2050-01-01");
    bool porTelefono = false;                     // "Enviado al teléfono"
    QString telefono;
    bool porTexto = false;                        // "El texto debe incluir"
    QString texto;
};

struct FilterResult {
    Condition condition;      // empty when no criterion applies
    QString telefono;         // what the phone box shows afterwards
};

FilterResult f_filtrar_historial(const FilterPanel &panel);

// The number as the filter looks for it: blanks, "+" and leading zeros gone; a nine-digit number
// typed as one block starting with 6 gets the Spanish prefix 34.
QString filterPhone(const QString &typed);

} // namespace history
