#include "sending/templates/template_rules.h"

#include "platform/text/node_key.h"
#include "sending/keywords.h"

namespace sending {

QString templateKey(qint64 sid)
{
    return QLatin1String(kTemplateKeyPrefix) + QString::number(sid);
}

QString messageKey(qint64 sid)
{
    return QLatin1String(kMessageKeyPrefix) + QString::number(sid);
}

std::optional<qint64> sidFromKey(const QString &key)
{
    return text::nodeKeyId(key, text::BareKey::NoId, text::IdText::PositiveInteger);
}

QString storedText(const QString &boxed)
{
    QString text = boxed;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

QString boxText(const QString &stored)
{
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

qsizetype fixedCharacterCount(const QString &message)
{
    QString fixed = message;
    for (const QString &keyword : counterKeywords())
        fixed.remove(keyword, Qt::CaseSensitive);
    return fixed.size();
}

std::optional<Notice> validateTemplate(const QString &name, const QString &message)
{
    if (message.isEmpty())
        return Notice{QStringLiteral("La plantilla no puede guardarse vacía. Por favor, utilice el botón de "
                                    "'Cancelar' si no desea guardar ninguna."),
                     QStringLiteral("Mensaje predefinido vacío")};
    if (message.size() > kMaxTemplateMessageLength)
        return Notice{QStringLiteral("La plantilla no puede contener más de 160 caracteres fijos. Por favor, "
                                    "reduzca el contenido del mensaje."),
                     QStringLiteral("Mensaje predefinido demasiado largo")};
    if (name.isEmpty())
        return Notice{QStringLiteral("Debe poner algun nombre identificador a la plantilla."),
                     QStringLiteral("Nombre de la plantilla inexistente")};
    if (name.size() > kMaxTemplateNameLength)
        return Notice{QStringLiteral("El nombre de la plantilla no puede tener más de 255 caracteres. "
                                    "Por favor, acorte el nombre."),
                     QStringLiteral("Nombre de la plantilla demasiado largo")};
    return std::nullopt;
}

QString initialSample()
{
    return QStringLiteral("Estimado [NOMBRE_CONFIRMAR], le \r\n"
                          "recordamos su cita el [DIA_SEMANA], dia [DIA] de \r\n"
                          "[MES_NOMBRE], a las [HORA]. Si no puede asistir \r\n"
                          "por favor, llamenos.\r\n");
}

QString oneLineSample()
{
    return QStringLiteral("Estimado [NOMBRE_CONFIRMAR], le recordamos su cita el [DIA_SEMANA], dia [DIA] de "
                          "[MES_NOMBRE], a las [HORA]. Si no puede asistir por favor, llamenos.");
}

} // namespace sending
