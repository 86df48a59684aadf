#include "contacts/group_list.h"

#include <QStringList>

namespace contacts {

bool esMiembro(const QString &grupos, qint64 grupo)
{
    const QString g = QString::number(grupo);
    for (const QStringView parte : QStringView(grupos).split(u',')) {
        if (parte == g)
            return true;
    }
    return false;
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
    const QString g = QString::number(grupo);
    QStringList quedan;
    for (const QString &parte : grupos.split(u',', Qt::SkipEmptyParts)) {
        if (parte != g)
            quedan.append(parte);
    }
    // An emptied list is the empty text, never Null, as a contact in no group has always read.
    return quedan.isEmpty() ? QStringLiteral("") : quedan.join(u',');
}

QString condicionMiembro()
{
    // Whole numbers between commas: group 1 is not found in "11" nor in "21,110". A missing list
    // is no group (so that "NOT" of this test holds for it too).
    return QStringLiteral("instr(',' || replace(ifnull(grupos_sid, ''), ' ', '') || ',', ',' || ? || ',') > 0");
}

} // namespace contacts
