#include "automation/countdown.h"

#include <limits>

namespace automation {

int valorNumerico(const QString &texto)
{
    const QString limpio = texto.trimmed();
    qsizetype i = 0;
    const bool negativo = i < limpio.size() && limpio.at(i) == QLatin1Char('-');
    if (negativo || (i < limpio.size() && limpio.at(i) == QLatin1Char('+')))
        ++i;
    long long valor = 0;
    for (; i < limpio.size() && limpio.at(i).isDigit() && limpio.at(i).unicode() < 128; ++i) {
        valor = valor * 10 + (limpio.at(i).unicode() - '0');
        if (valor > std::numeric_limits<int>::max())
            return negativo ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return static_cast<int>(negativo ? -valor : valor);
}

void Countdown::reiniciar(const QString &minutos)
{
    m_valor = valorNumerico(minutos);
}

bool Countdown::bajar()
{
    if (m_valor > std::numeric_limits<int>::min())
        --m_valor;
    return m_valor <= 0;
}

} // namespace automation
