// The send reply (`sendsms.php`) for an ordinary and an automated send, and the balance label.
#include "fuzz_support.h"

#include "sending/send_reply.h"

#include <QDateTime>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::textOf(data, size);
    static const QDateTime now(QDate(2024, 6, 3), QTime(10, 0));
    sending::SendRequest request;
    request.username = QStringLiteral("demo");
    request.message = QStringLiteral("Hola");
    request.recipients = QStringLiteral("34600111222,34600111333");
    request.sender = QStringLiteral("Tienda");
    request.sendTime = QStringLiteral("Inmediato");
    request.recordedTime = QStringLiteral("Inmediato");
    request.recordedMessage = request.message;
    (void)sending::interpretSendReply(request, true, text, 100.0, now);
    (void)sending::interpretSendReply(request, true, text, std::nullopt, now);
    request.automated = true;
    (void)sending::interpretSendReply(request, true, text, 0.5, now);
    return 0;
}
