#include "sending/offer/unknown_numbers.h"

#include "platform/db/connection.h"
#include "sending/contact_lookup.h"

#include <QSet>

namespace sending {

namespace {

QString sinMas(QString numero)
{
    return numero.remove(QLatin1Char('+'));
}

} // namespace

QStringList listaOferta(const QString &box)
{
    QString text = box;
    text.remove(QLatin1Char(' '));
    return text.split(QLatin1Char(','));
}

std::optional<NumeroDesconocido> primerDesconocido(const QStringList &lista, const QStringList &conocidos,
                                                   qint64 inicio)
{
    QSet<QString> tal;
    QSet<QString> sinSigno;
    for (const QString &c : conocidos) {
        tal.insert(c);
        sinSigno.insert(sinMas(c));
    }
    for (qint64 i = std::max<qint64>(inicio, 0); i < lista.size(); ++i) {
        const QString &numero = lista.at(i);
        if (numero.isEmpty() || sinMas(numero).isEmpty())
            continue;
        if (tal.contains(numero) || sinSigno.contains(sinMas(numero)))
            continue;
        return NumeroDesconocido{numero, i};
    }
    return std::nullopt;
}

QStringList conocidosEnAgenda(db::Connection &conexion, const QStringList &lista)
{
    // The book may keep a number with its "+" or without it: both forms are looked for.
    QSet<QString> buscar;
    for (const QString &numero : lista) {
        if (numero.isEmpty())
            continue;
        const QString limpio = sinMas(numero);
        buscar << numero << limpio << QLatin1Char('+') + limpio;
    }
    return telefonosEnAgenda(conexion, QStringList(buscar.cbegin(), buscar.cend()));
}

bool ofertaActiva(db::Connection &conexion)
{
    const std::vector<db::Row> rows =
        conexion.select(QStringLiteral("SELECT defecto_agenda FROM Usuario ORDER BY sid LIMIT 1"));
    if (rows.empty())
        return false;
    const QVariant valor = rows.front().value(0);
    return valor.isValid() && !valor.isNull() && valor.toString() != kNoPreguntar;
}

bool dejarDePreguntar(db::Connection &conexion)
{
    return conexion.execute(QStringLiteral("UPDATE Usuario SET defecto_agenda = ?1"), {kNoPreguntar}).ok();
}

} // namespace sending
