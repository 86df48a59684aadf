#include "sending/send_command.h"

#include "sending/keywords.h"
#include "sending/send_time.h"
#include "startup/brand.h"

namespace sending {
namespace {

PreparedSend refused(PrepareStatus status, const QString &title, const QString &text)
{
    PreparedSend out;
    out.status = status;
    out.messageTitle = title;
    out.messageText = text;
    return out;
}

bool holdsContactKeyword(const QString &mensaje)
{
    if (!mensaje.contains(QLatin1Char('[')))
        return false;
    for (const auto &keyword : contactKeywords()) {
        if (!spellingsIn(mensaje, keyword.field).isEmpty())
            return true;
    }
    return false;
}

} // namespace

PreparedSend prepararEnvio(const PanelValues &panel, const std::optional<AccountValues> &account,
                           db::Connection &connection, const AskValue &ask, const QDateTime &ahora)
{
    if (panel.destinatarios.isEmpty() || panel.mensaje.isEmpty())
        return refused(PrepareStatus::EmptyFields, QStringLiteral("Error"),
                       QStringLiteral("El mensaje y el destinatario son campos que no pueden estar vacíos. Reviselos"));
    if (!account)
        return refused(PrepareStatus::NoAccount, QStringLiteral("Necesaria autentificación"),
                       QStringLiteral("Por favor, primero introduzca la configuración en el menú Archivo."));

    const SendTime time =
        calcularFechaEnvio(panel.fechaProgramada, account->huso_horario, panel.cita, panel.horasCita);
    if (time.status == SendTimeStatus::Invalido)
        return refused(PrepareStatus::InvalidTime, QStringLiteral("Error"),
                       QStringLiteral("La fecha de envío no es válida. Por favor, elíjala de nuevo."));

    const QString conFechas = personalizar_citas(panel.mensaje, time.fechaCitas, wallClock(ahora));
    const QString destino = destinoPublicado(panel.destinatarios);
    const QStringList numeros = destino.split(QLatin1Char(','), Qt::SkipEmptyParts);

    PersonalValues values;
    if (holdsContactKeyword(conFechas)) {
        const ContactBook book = cargarContactos(connection, numeros);
        values = valores_personalizados(conFechas, numeros, book, ask);
        if (values.status == ValuesStatus::Cancelled)
            return refused(PrepareStatus::Cancelled, QStringLiteral("Envío cancelado"),
                           QStringLiteral("El envio ha sido cancelado a peticion suya."));
    }

    PreparedSend out;
    SendRequest &request = out.request;
    request.username = account->login;
    request.password = account->pass;
    request.mensaje = f_quitar_confirmar(conFechas);
    request.destino = destino;
    request.remitente = panel.remitente.isEmpty() ? brand::remitente_defecto() : panel.remitente;
    request.ruta = account->ruta == QLatin1String("0") ? QStringLiteral("3") : account->ruta;
    request.fecha = panel.automatizado ? QString() : time.fechaPasarela;
    request.extra = variables_envio(conFechas, values);
    request.automatizado = panel.automatizado;
    request.fechaRegistro = time.fechaRegistro;
    // One recipient is recorded with his own values; a list keeps the keywords as written.
    request.mensajeRegistro = !request.extra.isEmpty() && panel.destinatarios.size() < 15
                                  ? vistaPersonalizada(conFechas, values)
                                  : conFechas;
    request.mensajeTecleado = panel.mensaje;
    return out;
}

} // namespace sending
