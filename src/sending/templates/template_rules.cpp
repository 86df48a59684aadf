#include "sending/templates/template_rules.h"

#include "sending/keywords.h"

namespace sending {

QString clavePlantilla(qint64 sid)
{
    return QLatin1String(kClavePlantilla) + QString::number(sid);
}

QString claveMensaje(qint64 sid)
{
    return QLatin1String(kClaveMensaje) + QString::number(sid);
}

std::optional<qint64> sidDeClave(const QString &clave)
{
    if (clave == QLatin1String(kClaveVacia))
        return std::nullopt;
    const qsizetype blank = clave.lastIndexOf(QLatin1Char(' '));
    if (blank < 0)
        return std::nullopt;
    bool ok = false;
    const qint64 sid = clave.mid(blank + 1).toLongLong(&ok);
    if (!ok || sid <= 0)
        return std::nullopt;
    return sid;
}

QString textoGuardado(const QString &textoCaja)
{
    QString texto = textoCaja;
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    texto.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return texto;
}

QString textoCaja(const QString &textoGuardado)
{
    QString texto = textoGuardado;
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return texto;
}

qsizetype caracteresFijos(const QString &mensaje)
{
    QString fijo = mensaje;
    for (const QString &palabra : counterKeywords())
        fijo.remove(palabra, Qt::CaseSensitive);
    return fijo.size();
}

std::optional<Aviso> validarPlantilla(const QString &nombre, const QString &mensaje)
{
    if (mensaje.isEmpty())
        return Aviso{QStringLiteral("La plantilla no puede guardarse vacía. Por favor, utilice el botón de "
                                    "'Cancelar' si no desea guardar ninguna."),
                     QStringLiteral("Mensaje predefinido vacío")};
    if (mensaje.size() > kMaxMensajePlantilla)
        return Aviso{QStringLiteral("La plantilla no puede contener más de 160 caracteres fijos. Por favor, "
                                    "reduzca el contenido del mensaje."),
                     QStringLiteral("Mensaje predefinido demasiado largo")};
    if (nombre.isEmpty())
        return Aviso{QStringLiteral("Debe poner algun nombre identificador a la plantilla."),
                     QStringLiteral("Nombre de la plantilla inexistente")};
    if (nombre.size() > kMaxNombrePlantilla)
        return Aviso{QStringLiteral("El nombre de la plantilla no puede tener más de 255 caracteres. "
                                    "Por favor, acorte el nombre."),
                     QStringLiteral("Nombre de la plantilla demasiado largo")};
    return std::nullopt;
}

QString muestraInicial()
{
    return QStringLiteral("Estimado [NOMBRE_CONFIRMAR], le \r\n"
                          "recordamos su cita el [DIA_SEMANA], dia [DIA] de \r\n"
                          "[MES_NOMBRE], a las [HORA]. Si no puede asistir \r\n"
                          "por favor, llamenos.\r\n");
}

QString muestraUnaLinea()
{
    return QStringLiteral("Estimado [NOMBRE_CONFIRMAR], le recordamos su cita el [DIA_SEMANA], dia [DIA] de "
                          "[MES_NOMBRE], a las [HORA]. Si no puede asistir por favor, llamenos.");
}

} // namespace sending
