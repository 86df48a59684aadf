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

// `Historial.id_web` without the blanks, tabs and line breaks around it, as QString::trimmed()
// leaves the number the client reads.
inline const QString kTrimmedGatewayId = QStringLiteral("trim(id_web, char(32, 9, 10, 11, 12, 13))");

// The same test in SQL, on `Historial.id_web` (blanks around it ignored).
inline const QString kGatewayIdCondition =
    kTrimmedGatewayId + QStringLiteral("<>'' AND ") + kTrimmedGatewayId + QStringLiteral(" NOT GLOB '*[^0-9]*'");

// The rows of the send the gateway numbers as parameter `parameter` of a statement. Blanks around
// the stored number are ignored here as in kGatewayIdCondition, so the rows a statement changes
// are the rows that were asked about.
inline QString sameGatewayId(int parameter)
{
    return kTrimmedGatewayId + QStringLiteral("=trim(?%1, char(32, 9, 10, 11, 12, 13))").arg(parameter);
}

} // namespace history
