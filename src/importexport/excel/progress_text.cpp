#include "importexport/excel/progress_text.h"

#include <QLocale>

#include <cmath>

namespace importexport::excel {

QString textoProgreso(int registro, int total, bool swapped)
{
    const int porcentaje = total > 0 ? int(qint64(registro) * 100 / total) : 0;
    return (swapped ? QStringLiteral("Importando columna: ") : QStringLiteral("Importando fila: "))
         + QString::number(registro) + QStringLiteral(". Progreso ") + QString::number(porcentaje) + u'%';
}

int valorBarra(int registro, int total)
{
    if (total <= 0)
        return 0;
    return int(std::clamp<qint64>(qint64(registro) * kMaximoBarra / total, 0, kMaximoBarra));
}

QString f_formatear_tiempo(double segundos, const QString &prefijo)
{
    QString text = prefijo;
    const double original = segundos;
    if (segundos > 3600) {
        const double horas = std::floor(segundos / 3600);
        text += QString::number(qint64(horas)) + QStringLiteral(" h ");
        segundos -= horas * 3600;
    }
    if (segundos > 60) {
        const double minutos = std::floor(segundos / 60);
        text += QString::number(qint64(minutos)) + QStringLiteral(" min ");
        segundos -= minutos * 60;
    }
    if (segundos > 0) {
        if (original < 5) {
            // A tiny epsilon keeps 2.34 from reading 2.33 after the binary round trip.
            const double cut = std::floor(segundos * 100 + 1e-9) / 100;
            text += QLocale().toString(cut);
        } else {
            text += QString::number(qint64(std::floor(segundos)));
        }
        text += QStringLiteral(" seg");
    }
    return text;
}

double segundosRestantes(int total, int actual, double acumulado)
{
    if (actual <= 0)
        return 0;
    return std::floor(double(total - actual) * acumulado / actual);
}

QString textoResumen(const Contadores &c)
{
    return QStringLiteral("Se han revisado ") + QString::number(c.validos)
         + QStringLiteral(" registros válidos con teléfonos y se han importado ") + QString::number(c.nuevos)
         + QStringLiteral(" nuevos contactos (") + QString::number(c.enGrupo) + QStringLiteral(" añadidos al grupo).");
}

void RunClock::abrir(double ahora)
{
    m_inicio = ahora;
}

void RunClock::cerrar(double ahora)
{
    if (abierto())
        m_acumulado += std::max(0.0, ahora - m_inicio);
    m_inicio = -1;
}

void RunClock::reabrir(double ahora)
{
    cerrar(ahora);
    abrir(ahora);
}

} // namespace importexport::excel
