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

bool holdsContactKeyword(const QString &message)
{
    if (!message.contains(QLatin1Char('[')))
        return false;
    for (const auto &keyword : contactKeywords()) {
        if (!spellingsIn(message, keyword.field).isEmpty())
            return true;
    }
    return false;
}

} // namespace

PreparedSend prepararEnvio(const PanelValues &panel, const std::optional<AccountValues> &account,
                           db::Connection &connection, const AskValue &ask, const QDateTime &now)
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

    const QString withDates = personalizar_citas(panel.mensaje, time.fechaCitas, wallClock(now));
    const QString recipients = destinoPublicado(panel.destinatarios);
    const QStringList numbers = recipients.split(QLatin1Char(','), Qt::SkipEmptyParts);

    PersonalValues values;
    if (holdsContactKeyword(withDates)) {
        const ContactBook book = cargarContactos(connection, numbers);
        values = valores_personalizados(withDates, numbers, book, ask);
        if (values.status == ValuesStatus::Cancelled)
            return refused(PrepareStatus::Cancelled, QStringLiteral("Envío cancelado"),
                           QStringLiteral("El envio ha sido cancelado a peticion suya."));
    }

    PreparedSend out;
    SendRequest &request = out.request;
    request.username = account->login;
    request.password = account->pass;
    request.mensaje = f_quitar_confirmar(withDates);
    request.destino = recipients;
    request.remitente = panel.remitente.isEmpty() ? brand::remitente_defecto() : panel.remitente;
    request.ruta = account->ruta == QLatin1String("0") ? QStringLiteral("3") : account->ruta;
    request.fecha = panel.automatizado ? QString() : time.fechaPasarela;
    request.extra = variables_envio(withDates, values);
    request.automatizado = panel.automatizado;
    request.fechaRegistro = time.fechaRegistro;
    // One recipient is recorded with his own values; a list keeps the keywords as written.
    request.mensajeRegistro = !request.extra.isEmpty() && panel.destinatarios.size() < 15
                                  ? vistaPersonalizada(withDates, values)
                                  : withDates;
    request.mensajeTecleado = panel.mensaje;
    return out;
}

} // namespace sending
