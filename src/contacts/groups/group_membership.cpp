#include "contacts/groups/group_membership.h"

#include "platform/db/id_list.h"

#include <QStringList>

#include <algorithm>

namespace contacts::groups {

namespace {

bool esGrupo(const QString &entrada, qint64 grupo)
{
    return db::idOfEntry(entrada) == grupo;
}

} // namespace

bool perteneceAGrupo(const QString &lista, qint64 grupo)
{
    const QStringList entradas = lista.split(QLatin1Char(','));
    return std::any_of(entradas.cbegin(), entradas.cend(),
                       [grupo](const QString &entrada) { return esGrupo(entrada, grupo); });
}

QString conGrupo(const QString &lista, qint64 grupo)
{
    if (lista.trimmed().isEmpty())
        return QString::number(grupo);
    if (perteneceAGrupo(lista, grupo))
        return lista;
    return lista + QLatin1Char(',') + QString::number(grupo);
}

QString sinGrupo(const QString &lista, qint64 grupo)
{
    QStringList quedan;
    for (const QString &entrada : lista.split(QLatin1Char(','))) {
        const QString e = entrada.trimmed();
        if (!e.isEmpty() && !esGrupo(e, grupo))
            quedan << e;
    }
    return quedan.join(QLatin1Char(','));
}

} // namespace contacts::groups
