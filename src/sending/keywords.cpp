#include "sending/keywords.h"

#include "sending/send_time.h"

namespace sending {

const std::array<ContactKeyword, kContactFieldCount> &contactKeywords()
{
    static const std::array<ContactKeyword, kContactFieldCount> keywords{{
        {ContactField::Name, u"NOMBRE", u"nombre"},
        {ContactField::Phone, u"TELEFONO", u"telefono"},
        {ContactField::FullName, u"NOMBRE_COMPLETO", u"nombre_completo"},
        {ContactField::Address, u"DIRECCION", u"direccion"},
        {ContactField::OtherPhone, u"OTRO_TELEFONO", u"telefono_2"},
        {ContactField::Comments, u"COMENTARIOS", u"comentario"},
        {ContactField::BirthDate, u"F_NACIMIENTO", u"f_nacimiento"},
    }};
    return keywords;
}

QString plainForm(QStringView name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

QString confirmForm(QStringView name)
{
    return QLatin1Char('[') + name + QStringLiteral("_CONFIRMAR]");
}

QStringList spellingsIn(const QString &message, ContactField field)
{
    const auto &keyword = contactKeywords()[static_cast<std::size_t>(field)];
    QStringList names{keyword.name.toString()};
    if (field == ContactField::BirthDate)
        names.append(kBirthDateAlias.toString());
    QStringList found;
    for (const QString &name : names) {
        if (message.contains(plainForm(name)) || message.contains(confirmForm(name)))
            found.append(name);
    }
    return found;
}

QString reduceConfirmForms(QString message)
{
    for (const auto &keyword : contactKeywords())
        message.replace(confirmForm(keyword.name), plainForm(keyword.name));
    message.replace(confirmForm(kBirthDateAlias), plainForm(kBirthDateAlias));
    return message;
}

const std::array<QString, 6> &counterKeywords()
{
    static const std::array<QString, 6> keywords{
        QStringLiteral("[NOMBRE]"), QStringLiteral("[TELEFONO]"), QStringLiteral("[NOMBRE_COMPLETO]"),
        QStringLiteral("[DIRECCION]"), QStringLiteral("[OTRO_TELEFONO]"), QStringLiteral("[COMENTARIOS]"),
    };
    return keywords;
}

namespace {

QString weekdayName(int dayOfWeek)
{
    static const std::array<QString, 7> names{
        QStringLiteral("lunes"), QStringLiteral("martes"), QStringLiteral("miércoles"), QStringLiteral("jueves"),
        QStringLiteral("viernes"), QStringLiteral("sábado"), QStringLiteral("domingo"),
    };
    return names[static_cast<std::size_t>((dayOfWeek - 1) % 7)];
}

QString monthName(int month)
{
    static const std::array<QString, 12> names{
        QStringLiteral("Enero"), QStringLiteral("Febrero"), QStringLiteral("Marzo"), QStringLiteral("Abril"),
        QStringLiteral("Mayo"), QStringLiteral("Junio"), QStringLiteral("Julio"), QStringLiteral("Agosto"),
        QStringLiteral("Septiembre"), QStringLiteral("Octubre"), QStringLiteral("Noviembre"), QStringLiteral("Diciembre"),
    };
    return names[static_cast<std::size_t>((month - 1) % 12)];
}

} // namespace

QString fillDateKeywords(QString message, const QString &scheduled, const QDateTime &now)
{
    if (!message.contains(QLatin1Char('[')))
        return message;
    QDateTime when = now;
    if (scheduled != kImmediate) {
        if (const auto parsed = parseScheduledTime(scheduled))
            when = *parsed;
    }
    const QDate d = when.date();
    const QTime t = when.time();
    const QString two = QStringLiteral("%1");
    auto pad = [&two](int v) { return two.arg(v, 2, 10, QLatin1Char('0')); };
    const QString timeOfDay = pad(t.hour()) + QLatin1Char(':') + pad(t.minute());
    const QString shortDate = pad(d.day()) + QLatin1Char('-') + pad(d.month()) + QLatin1Char('-') + pad(d.year() % 100);

    const std::array<std::pair<QString, QString>, 10> table{{
        {QStringLiteral("[HORA]"), timeOfDay},
        {QStringLiteral("[HORAS]"), QString::number(t.hour())},
        {QStringLiteral("[MINUTOS]"), QString::number(t.minute())},
        {QStringLiteral("[DIA]"), QString::number(d.day())},
        {QStringLiteral("[MES]"), QString::number(d.month())},
        {QStringLiteral("[AÑO]"), QString::number(d.year())},
        {QStringLiteral("[DIA_SEMANA]"), weekdayName(d.dayOfWeek())},
        {QStringLiteral("[MES_NOMBRE]"), monthName(d.month())},
        {QStringLiteral("[FECHA]"), shortDate},
        {QStringLiteral("[FECHA_HORA]"), shortDate + QLatin1Char(' ') + timeOfDay},
    }};
    for (const auto &[keyword, value] : table)
        message.replace(keyword, value);
    return message;
}

} // namespace sending
