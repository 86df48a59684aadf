#pragma once

#include "sending/placeholders.h"
#include "sending/send_request.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace db { class Connection; }

// The "Enviar SMS" button without its window: the panel's values in, the captured request out.
namespace sending {

struct PanelValues {
    QString message;           // the message box, line breaks as CR LF
    QString recipients;     // the recipients box
    QString sender;         // the chosen sender; empty picks the brand sender
    QString scheduledTime;   // "Inmediato" or "yyyy-mm-dd hh:mm"
    bool appointment = false;
    QString appointmentHours;
    bool automated = false;
};

struct AccountValues {
    QString login;
    QString pass;
    QString route;
    QString timeZone;
};

enum class PrepareStatus { Ready, EmptyFields, NoAccount, InvalidTime, Cancelled };

struct PreparedSend {
    PrepareStatus status = PrepareStatus::Ready;
    SendRequest request;       // filled when Ready
    QString messageTitle;      // the box to show when not Ready
    QString messageText;
};

// Checks the inputs, works out route, sender and gateway time, fills the date keywords, resolves
// the contact keywords (one contact-book query, prompts through `ask`) and captures everything the
// reply will record. `now` is the local wall clock.
PreparedSend prepareSend(const PanelValues &panel, const std::optional<AccountValues> &account,
                           db::Connection &connection, const AskValue &ask, const QDateTime &now);

} // namespace sending
