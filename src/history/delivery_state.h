#pragma once

#include <QRgb>
#include <QString>
#include <QStringList>

// `estado_entrega` ("flag|confirmed|failed") read against a send's recipients, and the colour a
// send is drawn in.
namespace history {

// The delivery breakdown of one send (parseDeliveryState).
struct Breakdown {
    QString confirmed;        // confirmed numbers, comma-separated; empty when none
    QString failed;           // failed numbers, likewise
    QString pending;         // recipients in neither list, comma-separated, no blanks
    qint64 confirmedCount = 0;
    qint64 failedCount = 0;
    qint64 pendingCount = 0;     // total - confirmed - failed (as the old client counted)
    qint64 total = 0;           // items of the recipient list; 0 for an empty list

    // The seven texts in the old array order: lists, then counts, then the total.
    QStringList texts() const;
};

// Never fails: a null or short state gives empty lists, a state without its second "|" keeps
// everything after the flag as the confirmed list.
Breakdown parseDeliveryState(const QString &state, const QString &recipientList);

enum class Colour { None, Green, Red, Grey, Orange };

// The colour as the old client stored it: blue-green-red, so 255 is red.
int vbColour(Colour colour);
QRgb rgb(Colour colour);

// stateColour: green when everything is confirmed, red when failures outnumber both other
// classes, grey while the send time lies ahead, orange otherwise. `now` is nowStamp().
Colour stateColour(const Breakdown &d, const QString &rowTime, const QString &now);

// The colour of the unconfirmed recipients: orange once the send time has passed.
Colour pendingColour(Colour rowColour, const QString &rowTime, const QString &now);

} // namespace history
