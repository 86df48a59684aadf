#include "history/recipient_classes.h"

#include <QSet>

namespace history {

std::optional<ClaseDestinatarios> claseDeTexto(const QString &clase)
{
    if (clase == QLatin1String("Destinatarios"))
        return ClaseDestinatarios::Destinatarios;
    if (clase == QLatin1String("Recibidos"))
        return ClaseDestinatarios::Recibidos;
    if (clase == QLatin1String("Pendientes"))
        return ClaseDestinatarios::Pendientes;
    if (clase == QLatin1String("Fallidos"))
        return ClaseDestinatarios::Fallidos;
    return std::nullopt;
}

QString textoDeClase(ClaseDestinatarios clase)
{
    switch (clase) {
    case ClaseDestinatarios::Destinatarios: return QStringLiteral("Destinatarios");
    case ClaseDestinatarios::Recibidos: return QStringLiteral("Recibidos");
    case ClaseDestinatarios::Pendientes: return QStringLiteral("Pendientes");
    case ClaseDestinatarios::Fallidos: return QStringLiteral("Fallidos");
    }
    return {};
}

LecturaEnvio leerEnvio(db::Connection &conexion, qint64 sid)
{
    LecturaEnvio lectura;
    db::Result r;
    const std::vector<db::Row> filas = conexion.select(
        QStringLiteral("SELECT destinatario, estado, f_envio, f_programada, mensaje, remitente FROM Historial "
                       "WHERE sid = ?1"),
        {sid}, &r);
    if (!r.ok()) {
        lectura.status = LecturaEnvio::Status::DatabaseError;
        lectura.error = r.error;
        return lectura;
    }
    if (filas.empty())
        return lectura;
    const db::Row &fila = filas.front();
    const auto texto = [&fila](int i) { return fila.value(i).isValid() ? fila.value(i).toString() : QString(); };
    lectura.status = LecturaEnvio::Status::Ok;
    lectura.envio = {texto(0), texto(1), texto(2), texto(3), texto(4), texto(5)};
    return lectura;
}

QStringList telefonosDe(const QString &lista)
{
    QStringList telefonos;
    for (QString n : lista.split(QLatin1Char(','))) {
        n.remove(QLatin1Char(' '));
        n = n.trimmed();
        if (!n.isEmpty())
            telefonos << n;
    }
    return telefonos;
}

QString listaDeClase(ClaseDestinatarios clase, const EnvioDestinatarios &envio)
{
    if (clase == ClaseDestinatarios::Destinatarios)
        return telefonosDe(envio.destinatario).join(QLatin1Char(','));
    const Desglose d = f_subhistorial_parse_estado(envio.estado, envio.destinatario);
    switch (clase) {
    case ClaseDestinatarios::Recibidos: return telefonosDe(d.confirmados).join(QLatin1Char(','));
    case ClaseDestinatarios::Fallidos: return telefonosDe(d.fallidos).join(QLatin1Char(','));
    case ClaseDestinatarios::Pendientes: return telefonosDe(d.pendientes).join(QLatin1Char(','));
    case ClaseDestinatarios::Destinatarios: break;
    }
    return {};
}

EstadoTelefono estadoDeTelefono(const QString &telefono, const Desglose &desglose)
{
    // Whole numbers only: a number that is merely part of a confirmed one is not confirmed.
    if (telefonosDe(desglose.confirmados).contains(telefono))
        return EstadoTelefono::Confirmado;
    if (telefonosDe(desglose.fallidos).contains(telefono))
        return EstadoTelefono::Fallido;
    if (telefonosDe(desglose.pendientes).contains(telefono))
        return EstadoTelefono::SinConfirmar;
    return EstadoTelefono::Ninguno;
}

QString textoEstado(EstadoTelefono estado)
{
    switch (estado) {
    case EstadoTelefono::Confirmado: return QStringLiteral("Confirmado");
    case EstadoTelefono::Fallido: return QStringLiteral("Fallido");
    case EstadoTelefono::SinConfirmar: return QStringLiteral("Sin confirmar");
    case EstadoTelefono::Ninguno: break;
    }
    return {};
}

std::optional<quint32> colorEstado(EstadoTelefono estado)
{
    switch (estado) {
    case EstadoTelefono::Confirmado: return 0x00FF00u;     // the old client's 65280
    case EstadoTelefono::Fallido: return 0xFF0000u;        // the old client's 255
    case EstadoTelefono::SinConfirmar: return 0xFFCC77u;   // RGB 255, 204, 119
    case EstadoTelefono::Ninguno: break;
    }
    return std::nullopt;
}

bool filtroNecesitaGrupo(const QString &lista)
{
    return lista.size() > kLimiteFiltro;
}

QString tiempoEstimado(qsizetype caracteres)
{
    // 131.140625 / 262078 seconds a character, worked out in whole numbers (131.140625 = 8393 / 64)
    // so that the boundaries never depend on rounding.
    const qint64 segundos = qint64(caracteres) * 8393 / (64 * qint64(262078));
    if (segundos > 60)
        return QStringLiteral("%1 min %2 seg").arg(segundos / 60).arg(segundos % 60);
    return QStringLiteral("%1 seg").arg(segundos);
}

QString cajaAntesDeAnadir(const QString &texto)
{
    return texto.trimmed().size() > 1 ? texto : QString();
}

QString preguntaNombreGrupo(qsizetype caracteres)
{
    return QStringLiteral("Por favor, indique el nombre del nuevo grupo. Se incluirán en este grupo todos los "
                          "contactos existentes con los números de teléfono seleccionados. Tiempo estimado: ")
        + tiempoEstimado(caracteres);
}

QString avisoGrupoExistente(const QString &nombre)
{
    return QStringLiteral("Ya existe un grupo con el nombre '") + nombre
        + QStringLiteral("'. Por favor, introduzca otro nombre para el grupo, o dejelo vacío para cancelar.");
}

} // namespace history
