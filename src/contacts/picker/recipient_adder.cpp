#include "contacts/picker/recipient_adder.h"

#include "contacts/picker/contact_condition.h"
#include "contacts/picker/contact_nodes.h"

#include <QSet>

namespace contacts::picker {

Addition addNumbers(const RecipientsText &before, const QStringList &numbers)
{
    QSet<QString> present;
    for (const QString &entry : before.text.split(QLatin1Char(',')))
        present.insert(entry.trimmed());

    Addition addition;
    addition.box = before;
    for (const QString &number : numbers) {
        const QString n = number.trimmed();
        if (n.isEmpty() || present.contains(n))
            continue;
        present.insert(n);
        addition.added << n;
    }
    if (addition.added.isEmpty())
        return addition;

    const QString a = addition.added.join(QLatin1Char(','));
    addition.box.text = before.text.isEmpty() ? a : before.text + QLatin1Char(',') + a;
    QString tag = before.tag;
    addition.box.tag = tag.isEmpty() ? QString(a + QLatin1String(kQuoteMark))
                                     : QString(tag.remove(QLatin1String(kQuoteMark)) + QLatin1Char(',') + a
                                                   + QLatin1String(kQuoteMark));
    return addition;
}

Pick pickFromNode(db::Connection &connection, const QString &key, const QString &nodeText)
{
    Pick s;
    db::Result r;
    if (const std::optional<qint64> group = groupSidFromKey(key)) {
        const std::vector<db::Row> rows = connection.select(
            QStringLiteral("SELECT telefono FROM Agenda WHERE ") + memberSql() + QStringLiteral(" ORDER BY sid"),
            {QString::number(*group)}, &r);
        if (!r.ok())
            return {false, r.error, {}, {}};
        if (!rows.empty()) {
            QString text = nodeText;
            s.lastCaption = QStringLiteral("Ultimo: ") + text.replace(QStringLiteral(" contactos)"), QStringLiteral(")"));
        }
        for (const db::Row &row : rows)
            s.numbers << row.value(0).toString();
        return s;
    }

    const std::optional<qint64> sid = sidFromKey(key);
    if (!sid)
        return s;
    const std::vector<db::Row> rows =
        connection.select(QStringLiteral("SELECT telefono, nombre FROM Agenda WHERE sid = ?"), {*sid}, &r);
    if (!r.ok())
        return {false, r.error, {}, {}};
    if (!rows.empty()) {
        s.numbers << rows.front().value(0).toString();
        s.lastCaption = QStringLiteral("Ultimo: ") + rows.front().value(1).toString();
    }
    return s;
}

} // namespace contacts::picker
