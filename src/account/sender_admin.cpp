#include "account/sender_admin.h"

#include "platform/text/cp1252.h"
#include "platform/text/url_encode.h"

#include <array>

namespace account::senders {
namespace {

QString script(const QString &urlBase)
{
    return urlBase + QStringLiteral("extranet/SMS/pedir_remitentes.php");
}

// Raw values as the gateway receives them, with "&", "+" and "#" escaped so that none of them cuts
// the query.
QString raw(const QString &value)
{
    return text::escapeRawValue(value);
}

struct Prefix {
    const char *text;
    ReplyKind kind;
};

constexpr std::array<Prefix, 8> kPrefixes{{
    {"0|SenderID list|", ReplyKind::List},
    {"0|SenderID requested|", ReplyKind::Requested},
    {"0|SenderID removed|", ReplyKind::Removed},
    {"2|Error|", ReplyKind::ServerError},
    {"2|SenderID not listed|", ReplyKind::NotListed},
    {"2|SenderID already requested|", ReplyKind::AlreadyRequested},
    {"3|Authentication failure|", ReplyKind::AuthFailure},
    {"3|Required parameters missing|", ReplyKind::MissingParams},
}};

} // namespace

QString listUrl(const QString &urlBase, const QString &login, const QString &pass)
{
    return script(urlBase) + QStringLiteral("?username=") + raw(login) + QStringLiteral("&password=") + raw(pass);
}

QString requestUrl(const QString &urlBase, const QString &login, const QString &pass, const QString &sender)
{
    return listUrl(urlBase, login, pass) + QStringLiteral("&remitente=") + raw(sender);
}

QString deleteUrl(const QString &urlBase, const QString &login, const QString &pass, const QString &sender)
{
    return requestUrl(urlBase, login, pass, sender) + QStringLiteral("&delete=1");
}

SenderReply parseReply(const QString &reply)
{
    for (const Prefix &prefix : kPrefixes) {
        const QString p = QString::fromLatin1(prefix.text);
        if (reply.startsWith(p))
            return {prefix.kind, reply.mid(p.size())};
    }
    return {};
}

QStringList splitList(const QString &payload)
{
    if (payload.isEmpty())
        return {};
    return payload.split(QLatin1Char(';'));
}

std::optional<Message> failureMessage(ReplyKind kind)
{
    switch (kind) {
    case ReplyKind::List:
    case ReplyKind::Requested:
    case ReplyKind::Removed:
    case ReplyKind::NotListed:
        return std::nullopt;
    case ReplyKind::ServerError:
        return Message{QStringLiteral("Ha habido un error en el servidor. Por favor, intentelo de nuevo mas tarde."),
                       QStringLiteral("Error"), ui::Icon::Critical};
    case ReplyKind::AlreadyRequested:
        return Message{QStringLiteral("El remitente ya ha sido añadido anteriormente al listado de su cuenta. "
                                      "Si desea utilizarlo en el programa, seleccione el remitente en la lista "
                                      "de la izquierda y pulse sobre 'Incluir remitente'"),
                       QStringLiteral("Remitente existente"), ui::Icon::Critical};
    case ReplyKind::AuthFailure:
        return Message{QStringLiteral("El nombre de usuario y/o la contraseña no son correctas. Compruebelas e "
                                      "intentelo de nuevo"),
                       QStringLiteral("Error de autentificacion"), ui::Icon::Critical};
    case ReplyKind::MissingParams:
        return Message{QStringLiteral("Ha habido un error al introducir los parametros. Avise al administrador."),
                       QStringLiteral("Error de parametros"), ui::Icon::Critical};
    case ReplyKind::Other:
        break;
    }
    return Message{QStringLiteral("No ha sido posible establecer conexion con el servidor. Compruebe que dispone "
                                  "de conexión a Internet e intentelo de nuevo mas tarde."),
                   QStringLiteral("Error de conexion"), ui::Icon::Critical};
}

std::optional<Message> checkNewSender(const QString &typed)
{
    const QString title = QStringLiteral("Remitente incorrecto");
    if (typed.size() > kMaxLength)
        return Message{QStringLiteral("El remitente no puede tener mas de 11 caracteres."), title, ui::Icon::Critical};
    if (typed.isEmpty())
        return Message{QStringLiteral("No ha introducido remitente"), title, ui::Icon::Critical};
    if (typed.contains(QLatin1Char(';')))
        return Message{QStringLiteral("El remitente no puede contener el simbolo ;"), title, ui::Icon::Critical};
    // The gateway's requests travel in Windows-1252: a character outside it would be requested,
    // stored and shown as "?", a name the user never typed.
    if (!text::fitsCp1252(typed))
        return Message{QStringLiteral("El remitente contiene caracteres que no se pueden enviar, como los emoticonos. "
                                      "Escríbalo solo con letras, números y signos habituales."),
                       title, ui::Icon::Critical};
    return std::nullopt;
}

bool isUsable(const QString &sender)
{
    return !sender.isEmpty() && sender.size() <= kMaxLength;
}

Message unusableMessage()
{
    return Message{QStringLiteral("El remitente introducido no es correcto. El remitente debe tener entre 1 y 11 "
                                  "caracteres"),
                   QStringLiteral("Remitente no válido"), ui::Icon::None};
}

Message requestedMessage(const QString &sender)
{
    return {QStringLiteral("El remitente '%1' ha sido solicitado. Podrá utilizarlo cuando los administradores lo "
                           "hayan aprobado: entonces selecciónelo en la lista de la izquierda y pulse 'Incluir "
                           "remitente'. Mientras tanto sus envíos salen con el remitente que tienen ahora.")
                .arg(sender),
            QStringLiteral("Remitente solicitado"), ui::Icon::Information};
}

Message unconfirmedChangeMessage()
{
    return Message{QStringLiteral("No se ha podido leer la respuesta del servidor. Puede que la operación se haya "
                                  "realizado: cierre y vuelva a abrir esta ventana para comprobarlo antes de repetirla."),
                   QStringLiteral("Respuesta no reconocida"), ui::Icon::Warning};
}

QStringList loadSenders(db::Connection &connection, db::Result *result)
{
    QStringList senders;
    const auto rows = connection.select(QStringLiteral("SELECT remitente FROM Remitentes ORDER BY rowid"), {}, result);
    for (const db::Row &r : rows)
        senders.append(r.value(0).toString());
    return senders;
}

bool contains(db::Connection &connection, const QString &sender)
{
    return connection
        .scalar(QStringLiteral("SELECT count(*) FROM Remitentes WHERE remitente=?1 COLLATE BINARY"), {sender})
        .toLongLong() > 0;
}

db::Result addSender(db::Connection &connection, const QString &sender)
{
    // One statement decides and inserts, so two windows cannot both add the same identifier.
    return connection.execute(
        QStringLiteral("INSERT INTO Remitentes (remitente) SELECT ?1 WHERE NOT EXISTS "
                       "(SELECT 1 FROM Remitentes WHERE remitente=?1 COLLATE BINARY)"),
        {sender});
}

db::Result removeSender(db::Connection &connection, const QString &sender)
{
    return connection.execute(QStringLiteral("DELETE FROM Remitentes WHERE remitente=?1 COLLATE BINARY"), {sender});
}

} // namespace account::senders
