#include "contacts/picker/recipient_adder.h"

#include "contacts/picker/contact_condition.h"
#include "contacts/picker/contact_nodes.h"

#include <QSet>

namespace contacts::picker {

Adicion agregarNumeros(const Destinatarios &antes, const QStringList &numeros)
{
    QSet<QString> presentes;
    for (const QString &entrada : antes.texto.split(QLatin1Char(',')))
        presentes.insert(entrada.trimmed());

    Adicion adicion;
    adicion.caja = antes;
    for (const QString &numero : numeros) {
        const QString n = numero.trimmed();
        if (n.isEmpty() || presentes.contains(n))
            continue;
        presentes.insert(n);
        adicion.nuevos << n;
    }
    if (adicion.nuevos.isEmpty())
        return adicion;

    const QString a = adicion.nuevos.join(QLatin1Char(','));
    adicion.caja.texto = antes.texto.isEmpty() ? a : antes.texto + QLatin1Char(',') + a;
    QString tag = antes.tag;
    adicion.caja.tag = tag.isEmpty() ? QString(a + QLatin1String(kMarcaCoste))
                                     : QString(tag.remove(QLatin1String(kMarcaCoste)) + QLatin1Char(',') + a
                                                   + QLatin1String(kMarcaCoste));
    return adicion;
}

Seleccion seleccionDeNodo(db::Connection &conexion, const QString &clave, const QString &textoNodo)
{
    Seleccion s;
    db::Result r;
    if (const std::optional<qint64> grupo = sidDeGrupo(clave)) {
        const std::vector<db::Row> filas = conexion.select(
            QStringLiteral("SELECT telefono FROM Agenda WHERE ") + sqlMiembro() + QStringLiteral(" ORDER BY sid"),
            {QString::number(*grupo)}, &r);
        if (!r.ok())
            return {false, r.error, {}, {}};
        if (!filas.empty()) {
            QString texto = textoNodo;
            s.ultimo = QStringLiteral("Ultimo: ") + texto.replace(QStringLiteral(" contactos)"), QStringLiteral(")"));
        }
        for (const db::Row &fila : filas)
            s.numeros << fila.value(0).toString();
        return s;
    }

    const std::optional<qint64> sid = sidDeClave(clave);
    if (!sid)
        return s;
    const std::vector<db::Row> filas =
        conexion.select(QStringLiteral("SELECT telefono, nombre FROM Agenda WHERE sid = ?"), {*sid}, &r);
    if (!r.ok())
        return {false, r.error, {}, {}};
    if (!filas.empty()) {
        s.numeros << filas.front().value(0).toString();
        s.ultimo = QStringLiteral("Ultimo: ") + filas.front().value(1).toString();
    }
    return s;
}

} // namespace contacts::picker
