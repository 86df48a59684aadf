#include "contacts/picker/recipient_adder.h"

#include "contacts/picker/contact_condition.h"
#include "contacts/picker/contact_nodes.h"

#include <QSet>

namespace contacts::picker {

Adicion agregarNumeros(const Destinatarios &before, const QStringList &numbers)
{
    QSet<QString> present;
    for (const QString &entry : before.texto.split(QLatin1Char(',')))
        present.insert(entry.trimmed());

    Adicion addition;
    addition.caja = before;
    for (const QString &number : numbers) {
        const QString n = number.trimmed();
        if (n.isEmpty() || present.contains(n))
            continue;
        present.insert(n);
        addition.nuevos << n;
    }
    if (addition.nuevos.isEmpty())
        return addition;

    const QString a = addition.nuevos.join(QLatin1Char(','));
    addition.caja.texto = before.texto.isEmpty() ? a : before.texto + QLatin1Char(',') + a;
    QString tag = before.tag;
    addition.caja.tag = tag.isEmpty() ? QString(a + QLatin1String(kMarcaCoste))
                                     : QString(tag.remove(QLatin1String(kMarcaCoste)) + QLatin1Char(',') + a
                                                   + QLatin1String(kMarcaCoste));
    return addition;
}

Seleccion seleccionDeNodo(db::Connection &connection, const QString &key, const QString &nodeText)
{
    Seleccion s;
    db::Result r;
    if (const std::optional<qint64> group = sidDeGrupo(key)) {
        const std::vector<db::Row> rows = connection.select(
            QStringLiteral("SELECT telefono FROM Agenda WHERE ") + sqlMiembro() + QStringLiteral(" ORDER BY sid"),
            {QString::number(*group)}, &r);
        if (!r.ok())
            return {false, r.error, {}, {}};
        if (!rows.empty()) {
            QString text = nodeText;
            s.ultimo = QStringLiteral("Ultimo: ") + text.replace(QStringLiteral(" contactos)"), QStringLiteral(")"));
        }
        for (const db::Row &row : rows)
            s.numeros << row.value(0).toString();
        return s;
    }

    const std::optional<qint64> sid = sidDeClave(key);
    if (!sid)
        return s;
    const std::vector<db::Row> rows =
        connection.select(QStringLiteral("SELECT telefono, nombre FROM Agenda WHERE sid = ?"), {*sid}, &r);
    if (!r.ok())
        return {false, r.error, {}, {}};
    if (!rows.empty()) {
        s.numeros << rows.front().value(0).toString();
        s.ultimo = QStringLiteral("Ultimo: ") + rows.front().value(1).toString();
    }
    return s;
}

} // namespace contacts::picker
