#pragma once

#include "history/cancellation.h"

#include <QString>

namespace net { class SyncHttp; }

namespace history {

// "Cancelar todos" over the blocking transport: the line to `servidor` (host or host:port) opens
// at the first request and each request is a POST of the pairs. A request that never got a whole
// reply counts as "not reachable" (and as delivered when it had gone out whole); an error page is
// a reply like any other. The transport must
// outlive the returned function; the caller closes it (cerrar) when the operation ends.
SyncTransport syncTransport(net::SyncHttp &http, const QString &server);

} // namespace history
