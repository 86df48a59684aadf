#include "importexport/web/web_upload.h"

#include "database/account_row.h"
#include "platform/text/url_encode.h"

#include <cmath>

namespace importexport::web {

std::optional<Account> readAccount(db::Connection &connection, db::Result *result)
{
    db::Result r;
    const auto rows = connection.select(database::accountRowQuery(QStringLiteral("login, pass")), {}, &r);
    if (result)
        *result = r;
    if (!r.ok() || rows.empty())
        return std::nullopt;
    return Account{rows[0].value(0).toString(), rows[0].value(1).toString()};
}

std::vector<UploadContact> uploadQueue(db::Connection &connection, db::Result *result)
{
    db::Result r;
    // The order the lists show; sid after the name keeps equal names in a stable order.
    const auto rows = connection.select(
        QStringLiteral("SELECT nombre,telefono,nombre_completo,direccion,telefono_2,comentario FROM Agenda "
                       "WHERE length(nombre)>0 AND length(telefono)>0 ORDER BY nombre COLLATE ESPANOL, sid"),
        {}, &r);
    if (result)
        *result = r;
    std::vector<UploadContact> queue;
    if (!r.ok())
        return queue;
    queue.reserve(rows.size());
    for (const db::Row &row : rows)
        queue.push_back({row.value(0).toString(), row.value(1).toString(), row.value(2).toString(),
                         row.value(3).toString(), row.value(4).toString(), row.value(5).toString()});
    return queue;
}

QString uploadRequestUrl(const QString &importUrl, const Account &a, const UploadContact &c, bool skipExistingPhone)
{
    return importUrl + QStringLiteral("?usuario=") + text::urlEncode(a.login) + QStringLiteral("&clave=")
         + text::urlEncode(a.pass) + QStringLiteral("&nombre=") + text::urlEncode(c.name)
         + QStringLiteral("&telefono=") + text::urlEncode(c.phone) + QStringLiteral("&nombre_completo=")
         + text::urlEncode(c.fullName) + QStringLiteral("&direccion=") + text::urlEncode(c.address)
         + QStringLiteral("&telefono_2=") + text::urlEncode(c.otherPhone) + QStringLiteral("&comentario=")
         + text::urlEncode(c.comment) + QStringLiteral("&opc_telefono=")
         + (skipExistingPhone ? QStringLiteral("1") : QStringLiteral("0"));
}

UploadReply classifyUpload(const QString &text)
{
    if (text.contains(QLatin1String("Error de autentificacion")))
        return UploadReply::AuthError;
    if (text.contains(QLatin1String("Error de falta de datos")))
        return UploadReply::MissingData;
    if (text.contains(QLatin1String("Ya existe el contacto")) || text.contains(QStringLiteral("Ha habido un error al añadir el contacto")))
        return UploadReply::NotCreated;
    if (text.contains(QLatin1String("Contacto creado con exito")))
        return UploadReply::Created;
    return UploadReply::Unknown;
}

QString mayHaveCreatedMessage(const QString &name, const QString &baseUrl)
{
    return QStringLiteral("La respuesta del servidor no ha llegado o no se ha podido leer, y la exportación se ha "
                          "detenido. Es posible que el último contacto enviado, \"")
         + name + QStringLiteral("\", se haya creado en ") + baseUrl
         + QStringLiteral(": compruébelo antes de volver a exportar.");
}

QString progressText(int answered, int queued)
{
    const int total = answered + queued;
    const double exact = total > 0 ? answered * 100.0 / total : 0.0;
    const long percent = std::lrint(std::nearbyint(exact)); // the default rounding mode goes to even
    return QStringLiteral("Progreso ") + QString::number(percent) + QStringLiteral("%... Por favor, espere.");
}

} // namespace importexport::web
