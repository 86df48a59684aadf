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

} // namespace history
