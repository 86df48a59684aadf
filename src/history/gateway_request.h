#pragma once

#include "platform/net/form_body.h"

#include <QString>

namespace history {

// A request as it leaves for the gateway: the full address and, for a POST, the pairs of the
// body with their values already made safe for the form.
struct GatewayRequest {
    QString url;
    net::FormFields fields;
};

// A send's number as the gateway gave it: a whole number, digits only. A charged send whose reply
// carried anything else is kept in the history, but that text is never named to the gateway
// (as `sms_id`) again.
bool isGatewayId(const QString &id);

// The same test in SQL, on `Historial.id_web` (blanks around it ignored).
inline const QString kGatewayIdCondition =
    QStringLiteral("trim(id_web)<>'' AND trim(id_web) NOT GLOB '*[^0-9]*'");

} // namespace history
