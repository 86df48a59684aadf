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

// A scheduled send whose cancellation was asked for and got an answer that was neither the
// gateway's success nor its refusal: it may be cancelled at the gateway or still be waiting
// there. The mark is the state's one-character flag set to "?", the lists left as they were:
// every reader of the state takes the lists from the third character on, so existing data and
// other workstations still read the recipients right; the automatic report refresh asks only for
// rows whose flag is "0", so no refresh removes or rewrites such a send behind the user's back;
// the gateway's flags are digits, so no report ever writes this one. A later report asked for
// the send ("Actualizar confirmación") writes the gateway's state over the mark (the send is
// known there), or removes the row when the gateway no longer knows it (it was cancelled). The
// send time stays, so the send still counts as scheduled for that time (a greeting's contact is
// not greeted again) and can still be cancelled.
inline constexpr QChar kCancelUncertainFlag = QLatin1Char('?');
inline bool isCancelUncertain(const QString &state)
{
    return state.size() >= 2 && state.at(0) == kCancelUncertainFlag && state.at(1) == QLatin1Char('|');
}
// The new state of such a send, in SQL over `estado` (a missing or broken state reads as "0|0|0").
inline const QString kCancelUncertainState =
    QStringLiteral("'?' || CASE WHEN substr(estado, 2, 1)='|' THEN substr(estado, 2) ELSE '|0|0' END");
// What the history shows after such a send.
inline const QString kCancelUncertainCaption = QStringLiteral(" - cancelación sin confirmar");

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
