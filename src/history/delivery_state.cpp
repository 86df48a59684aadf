#include "history/delivery_state.h"

#include <QSet>

namespace history {

namespace {

QString listOrEmpty(const QString &list)
{
    return list == QLatin1String("0") ? QString() : list;
}

QStringList itemsOf(const QString &list)
{
    return list.isEmpty() ? QStringList() : list.split(QLatin1Char(','));
}

} // namespace

QStringList Desglose::texts() const
{
    return {confirmados,
            fallidos,
            pendientes,
            QString::number(nConfirmados),
            QString::number(nFallidos),
            QString::number(nPendientes),
            QString::number(total)};
}

Desglose f_subhistorial_parse_estado(const QString &state, const QString &recipientList)
{
    Desglose d;
    // The flag is one character and its "|" the second; the lists start at the third character.
    if (state.size() > 2) {
        const qsizetype bar = state.indexOf(QLatin1Char('|'), 2);
        if (bar < 0) {
            d.confirmados = listOrEmpty(state.mid(2));
        } else {
            d.confirmados = listOrEmpty(state.mid(2, bar - 2));
            d.fallidos = listOrEmpty(state.mid(bar + 1));
        }
    }

    const QStringList confirmed = itemsOf(d.confirmados);
    const QStringList failed = itemsOf(d.fallidos);
    d.nConfirmados = confirmed.size();
    d.nFallidos = failed.size();

    const QStringList recipients = itemsOf(recipientList);
    d.total = recipients.size();
    d.nPendientes = d.total - d.nConfirmados - d.nFallidos;

    QSet<QString> answered;
    answered.reserve(confirmed.size() + failed.size());
    for (const QString &n : confirmed)
        answered.insert(n);
    for (const QString &n : failed)
        answered.insert(n);

    QStringList pending;
    pending.reserve(recipients.size());
    for (const QString &n : recipients) {
        if (answered.contains(n))
            continue;
        QString clean = n;
        clean.remove(QLatin1Char(' '));
        if (!clean.isEmpty())
            pending.append(clean);
    }
    d.pendientes = pending.join(QLatin1Char(','));
    return d;
}

int vbColour(Colour colour)
{
    const QRgb c = rgb(colour);
    return qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16);
}

QRgb rgb(Colour colour)
{
    switch (colour) {
    case Colour::Green:
        return qRgb(0, 255, 0);
    case Colour::Red:
        return qRgb(255, 0, 0);
    case Colour::Grey:
        return qRgb(200, 200, 200);
    case Colour::Orange:
        return qRgb(255, 204, 119);
    case Colour::None:
        break;
    }
    return qRgb(0, 0, 0);
}

Colour color_estado(const Desglose &d, const QString &rowTime, const QString &now)
{
    if (d.total == d.nConfirmados)
        return Colour::Green;
    if (d.nFallidos > d.nConfirmados && d.nFallidos > d.nPendientes)
        return Colour::Red;
    if (rowTime > now)
        return Colour::Grey;
    return Colour::Orange;
}

Colour pendingColour(Colour rowColour, const QString &rowTime, const QString &now)
{
    return rowTime < now ? Colour::Orange : rowColour;
}

} // namespace history
