#include "importexport/excel/progress_text.h"

#include <QLocale>

#include <cmath>

namespace importexport::excel {

QString progressText(int record, int total, bool swapped)
{
    const int percent = total > 0 ? int(qint64(record) * 100 / total) : 0;
    return (swapped ? QStringLiteral("Importando columna: ") : QStringLiteral("Importando fila: "))
         + QString::number(record) + QStringLiteral(". Progreso ") + QString::number(percent) + u'%';
}

int barValue(int record, int total)
{
    if (total <= 0)
        return 0;
    return int(std::clamp<qint64>(qint64(record) * kBarMaximum / total, 0, kBarMaximum));
}

QString formatDuration(double seconds, const QString &prefix)
{
    QString text = prefix;
    const double original = seconds;
    if (seconds > 3600) {
        const double hours = std::floor(seconds / 3600);
        text += QString::number(qint64(hours)) + QStringLiteral(" h ");
        seconds -= hours * 3600;
    }
    if (seconds > 60) {
        const double minutes = std::floor(seconds / 60);
        text += QString::number(qint64(minutes)) + QStringLiteral(" min ");
        seconds -= minutes * 60;
    }
    if (seconds > 0) {
        if (original < 5) {
            // A tiny epsilon keeps 2.34 from reading 2.33 after the binary round trip.
            const double cut = std::floor(seconds * 100 + 1e-9) / 100;
            text += QLocale().toString(cut);
        } else {
            text += QString::number(qint64(std::floor(seconds)));
        }
        text += QStringLiteral(" seg");
    }
    return text;
}

double remainingSeconds(int total, int done, double elapsed)
{
    if (done <= 0)
        return 0;
    return std::floor(double(total - done) * elapsed / done);
}

QString summaryText(const Counters &c)
{
    return QStringLiteral("Se han revisado ") + QString::number(c.valid)
         + QStringLiteral(" registros válidos con teléfonos y se han importado ") + QString::number(c.added)
         + QStringLiteral(" nuevos contactos (") + QString::number(c.inGroup) + QStringLiteral(" añadidos al grupo).");
}

void RunClock::open(double now)
{
    m_start = now;
}

void RunClock::close(double now)
{
    if (isOpen())
        m_accumulated += std::max(0.0, now - m_start);
    m_start = -1;
}

void RunClock::reopen(double now)
{
    close(now);
    open(now);
}

} // namespace importexport::excel
