#include "history/view/sync_transport.h"

#include "platform/net/sync_http.h"

namespace history {

SyncTransport syncTransport(net::SyncHttp &http, const QString &server)
{
    return [&http, server](const QString &path, const QStringList &names, const QStringList &values) {
        TransportReply reply;
        if (!http.isConnected() && !http.connectTo(server))
            return reply;
        const net::SyncReply r = http.request(path, names, values);
        reply.ok = r.status == net::SyncReply::Status::Ok;
        reply.delivered = r.requestDelivered;
        reply.text = r.text.trimmed();
        return reply;
    };
}

} // namespace history
