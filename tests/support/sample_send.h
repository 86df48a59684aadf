#pragma once

#include "recording/pending_file.h"

// One charged send as the pending-sends tests write it: one recipient, 1.5 credits.
namespace testing {

inline recording::SendRecord sampleSend(const QString &webId, const QString &message)
{
    recording::SendRecord r;
    r.username = QStringLiteral("usuario");
    r.recipients = QStringLiteral("34600000001");
    r.sentAt = QStringLiteral("2026-03-05 09:07");
    r.scheduledAt = QStringLiteral("Inmediato");
    r.message = message;
    r.webId = webId;
    r.sender = QStringLiteral("Tienda");
    r.credits = 1.5;
    return r;
}

} // namespace testing
