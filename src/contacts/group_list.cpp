#include "contacts/group_list.h"

#include "platform/db/id_list.h"

#include <QStringList>

namespace contacts {

bool esMiembro(const QString &grupos, qint64 grupo)
{
    return db::idListHas(grupos, grupo);
}

QString anadirGrupo(const QString &grupos, qint64 grupo)
{
    if (grupos.isEmpty())
        return QString::number(grupo);
    if (esMiembro(grupos, grupo))
        return grupos;
    return grupos + QLatin1Char(',') + QString::number(grupo);
}

QString quitarGrupo(const QString &grupos, qint64 grupo)
{
    QStringList quedan;
    for (const QString &parte : grupos.split(u',', Qt::SkipEmptyParts)) {
        const QString entrada = parte.trimmed();
        if (!entrada.isEmpty() && db::idOfEntry(entrada) != grupo)
            quedan.append(entrada);
    }
    // An emptied list is the empty text, never Null, as a contact in no group has always read.
    return quedan.isEmpty() ? QStringLiteral("") : quedan.join(u',');
}

QString condicionMiembro()
{
    // The same reading of the list as esMiembro: a missing list is no group (so that "NOT" of
    // this test holds for it too).
    return QStringLiteral("en_lista(grupos_sid, ?) = 1");
}

} // namespace contacts
