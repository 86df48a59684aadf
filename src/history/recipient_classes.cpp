#include "history/recipient_classes.h"

#include <QSet>

namespace history {

std::optional<ClaseDestinatarios> claseDeTexto(const QString &recipientClass)
{
    if (recipientClass == QLatin1String("Destinatarios"))
        return ClaseDestinatarios::Destinatarios;
    if (recipientClass == QLatin1String("Recibidos"))
        return ClaseDestinatarios::Recibidos;
    if (recipientClass == QLatin1String("Pendientes"))
        return ClaseDestinatarios::Pendientes;
    if (recipientClass == QLatin1String("Fallidos"))
        return ClaseDestinatarios::Fallidos;
    return std::nullopt;
}

QString textoDeClase(ClaseDestinatarios recipientClass)
{
    switch (recipientClass) {
    case ClaseDestinatarios::Destinatarios: return QStringLiteral("Destinatarios");
    case ClaseDestinatarios::Recibidos: return QStringLiteral("Recibidos");
    case ClaseDestinatarios::Pendientes: return QStringLiteral("Pendientes");
    case ClaseDestinatarios::Fallidos: return QStringLiteral("Fallidos");
    }
    return {};
}

LecturaEnvio leerEnvio(db::Connection &connection, qint64 sid)
{
    LecturaEnvio lookup;
    db::Result r;
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT destinatario, estado, f_envio, f_programada, mensaje, remitente FROM Historial "
                       "WHERE sid = ?1"),
        {sid}, &r);
    if (!r.ok()) {
        lookup.status = LecturaEnvio::Status::DatabaseError;
        lookup.error = r.error;
        return lookup;
    }
    if (rows.empty())
        return lookup;
    const db::Row &row = rows.front();
    const auto text = [&row](int i) { return row.value(i).isValid() ? row.value(i).toString() : QString(); };
    lookup.status = LecturaEnvio::Status::Ok;
    lookup.envio = {text(0), text(1), text(2), text(3), text(4), text(5)};
    return lookup;
}

QStringList telefonosDe(const QString &list)
{
    QStringList phones;
    for (QString n : list.split(QLatin1Char(','))) {
        n.remove(QLatin1Char(' '));
        n = n.trimmed();
        if (!n.isEmpty())
            phones << n;
    }
    return phones;
}

QString listaDeClase(ClaseDestinatarios recipientClass, const EnvioDestinatarios &send)
{
    if (recipientClass == ClaseDestinatarios::Destinatarios)
        return telefonosDe(send.destinatario).join(QLatin1Char(','));
    const Desglose d = f_subhistorial_parse_estado(send.estado, send.destinatario);
    switch (recipientClass) {
    case ClaseDestinatarios::Recibidos: return telefonosDe(d.confirmados).join(QLatin1Char(','));
    case ClaseDestinatarios::Fallidos: return telefonosDe(d.fallidos).join(QLatin1Char(','));
    case ClaseDestinatarios::Pendientes: return telefonosDe(d.pendientes).join(QLatin1Char(','));
    case ClaseDestinatarios::Destinatarios: break;
    }
    return {};
}

EstadoTelefono estadoDeTelefono(const QString &phone, const Desglose &breakdown)
{
    // Whole numbers only: a number that is merely part of a confirmed one is not confirmed.
    if (telefonosDe(breakdown.confirmados).contains(phone))
        return EstadoTelefono::Confirmado;
    if (telefonosDe(breakdown.fallidos).contains(phone))
        return EstadoTelefono::Fallido;
    if (telefonosDe(breakdown.pendientes).contains(phone))
        return EstadoTelefono::SinConfirmar;
    return EstadoTelefono::Ninguno;
}

QString textoEstado(EstadoTelefono state)
{
    switch (state) {
    case EstadoTelefono::Confirmado: return QStringLiteral("Confirmado");
    case EstadoTelefono::Fallido: return QStringLiteral("Fallido");
    case EstadoTelefono::SinConfirmar: return QStringLiteral("Sin confirmar");
    case EstadoTelefono::Ninguno: break;
    }
    return {};
}

std::optional<quint32> colorEstado(EstadoTelefono state)
{
    switch (state) {
    case EstadoTelefono::Confirmado: return 0x00FF00u;     // the old client's 65280
    case EstadoTelefono::Fallido: return 0xFF0000u;        // the old client's 255
    case EstadoTelefono::SinConfirmar: return 0xFFCC77u;   // RGB 255, 204, 119
    case EstadoTelefono::Ninguno: break;
    }
    return std::nullopt;
}

bool filtroNecesitaGrupo(const QString &list)
{
    return list.size() > kLimiteFiltro;
}

QString tiempoEstimado(qsizetype characters)
{
    // 131.140625 / 262078 seconds a character, worked out in whole numbers (131.140625 = 8393 / 64)
    // so that the boundaries never depend on rounding.
    const qint64 seconds = qint64(characters) * 8393 / (64 * qint64(262078));
    if (seconds > 60)
        return QStringLiteral("%1 min %2 seg").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 seg").arg(seconds);
}

QString cajaAntesDeAnadir(const QString &text)
{
    return text.trimmed().size() > 1 ? text : QString();
}

QString preguntaNombreGrupo(qsizetype characters)
{
    return QStringLiteral("Por favor, indique el nombre del nuevo grupo. Se incluirán en este grupo todos los "
                          "contactos existentes con los números de teléfono seleccionados. Tiempo estimado: ")
        + tiempoEstimado(characters);
}

QString avisoGrupoExistente(const QString &name)
{
    return QStringLiteral("Ya existe un grupo con el nombre '") + name
        + QStringLiteral("'. Por favor, introduzca otro nombre para el grupo, o dejelo vacío para cancelar.");
}

} // namespace history
