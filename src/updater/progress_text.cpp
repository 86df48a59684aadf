#include "updater/progress_text.h"

#include <algorithm>
#include <cmath>

namespace updater {

QString percentDigits(double percent)
{
    const long long whole = std::llround(percent);
    return whole == 0 ? QString() : QString::number(whole);
}

int barValue(double percent)
{
    // std::nearbyint follows the default rounding mode, which is to the nearest even value.
    return std::clamp(int(std::nearbyint(percent)), 0, 100);
}

std::optional<ProgressTexts> progressTexts(const Progress &progress)
{
    if (progress.total == 1)
        return std::nullopt;
    ProgressTexts texts;
    texts.total = QStringLiteral("Total de Bytes a descargar: ") + QString::number(progress.total);
    texts.received = QStringLiteral("Bytes recibidos: ") + QString::number(progress.received);
    texts.percent = QStringLiteral("Porcentaje descargado: ") + percentDigits(progress.percent) + QLatin1Char('%');
    texts.elapsed = QStringLiteral("Segundos transcurridos: ") + QString::number(progress.secondsElapsed);
    texts.remaining = QStringLiteral("Segundos Restantes: ") + QString::number(progress.secondsRemaining);
    texts.bar = barValue(progress.percent);
    return texts;
}

} // namespace updater
