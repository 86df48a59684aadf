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
    request.mensaje = QStringLiteral("Hola");
    request.destino = QStringLiteral("34600111222,34600111333");
    request.remitente = QStringLiteral("Tienda");
    request.fecha = QStringLiteral("Inmediato");
    request.fechaRegistro = QStringLiteral("Inmediato");
    request.mensajeRegistro = request.mensaje;
    (void)sending::f_respuesta_envio(request, true, text, 100.0, now);
    (void)sending::f_respuesta_envio(request, true, text, std::nullopt, now);
    request.automatizado = true;
    (void)sending::f_respuesta_envio(request, true, text, 0.5, now);
    (void)sending::leerSaldoEtiqueta(text);
    return 0;
}
