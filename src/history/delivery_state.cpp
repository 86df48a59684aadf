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

QStringList Breakdown::texts() const
{
    return {confirmed,
            failed,
            pending,
            QString::number(confirmedCount),
            QString::number(failedCount),
            QString::number(pendingCount),
            QString::number(total)};
}

Breakdown parseDeliveryState(const QString &state, const QString &recipientList)
{
    Breakdown d;
    // The flag is one character and its "|" the second; the lists start at the third character.
    if (state.size() > 2) {
        const qsizetype bar = state.indexOf(QLatin1Char('|'), 2);
        if (bar < 0) {
            d.confirmed = listOrEmpty(state.mid(2));
        } else {
            d.confirmed = listOrEmpty(state.mid(2, bar - 2));
            d.failed = listOrEmpty(state.mid(bar + 1));
        }
    }

    const QStringList confirmed = itemsOf(d.confirmed);
    const QStringList failed = itemsOf(d.failed);
    d.confirmedCount = confirmed.size();
    d.failedCount = failed.size();

    const QStringList recipients = itemsOf(recipientList);
    d.total = recipients.size();
    d.pendingCount = d.total - d.confirmedCount - d.failedCount;

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
    d.pending = pending.join(QLatin1Char(','));
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

Colour stateColour(const Breakdown &d, const QString &rowTime, const QString &now)
{
    if (d.total == d.confirmedCount)
        return Colour::Green;
    if (d.failedCount > d.confirmedCount && d.failedCount > d.pendingCount)
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
