#pragma once

#include "gateway-sim/gateway_simulator.h"
#include "platform/net/sync_http.h"

#include <QDebug>
#include <QStringList>

namespace historytest {

// A send the simulator takes as the send command would have made it (immediate when
// `scheduledFor` is empty); returns the gateway's number for it, empty when it refused.
inline QString sendAtGateway(const sim::GatewaySimulator &gateway, const QString &login, const QString &pass,
                             const QString &number, const QString &scheduledFor = {})
{
    net::SyncHttp http(gateway.baseUrl());
    http.connectTo(QStringLiteral("127.0.0.1:%1").arg(gateway.port()));
    const net::SyncReply r = http.request(
        QStringLiteral("APIv2/sendsms.php"),
        {QStringLiteral("username"), QStringLiteral("password"), QStringLiteral("mensaje"), QStringLiteral("destino"),
         QStringLiteral("fecha")},
        {login, pass, QStringLiteral("Hola"), number, scheduledFor});
    const QStringList fields = r.text.split(QLatin1Char('|'));
    if (fields.size() < 3 || fields.at(0) != QLatin1String("0")) {
        qWarning() << "gateway refused the send:" << r.text;
        return {};
    }
    return fields.value(2).trimmed();
}

} // namespace historytest
