#include "history/contact_names.h"

#include <QSet>

namespace history {

QString cutForNames(const QString &list)
{
    if (list.size() <= 1000)
        return list;
    const qsizetype comma = list.indexOf(QLatin1Char(','), 999);
    return comma < 0 ? list : list.left(comma);
}

NameBook NameBook::lookup(db::Connection &connection, const QStringList &numbers, db::Result *result)
{
    NameBook book;
    db::Result status;
    QSet<QString> wanted;
    for (const QString &n : numbers) {
        if (!n.isEmpty())
            wanted.insert(n);
    }
    if (wanted.isEmpty()) {
        if (result)
            *result = status;
        return book;
    }

    // The numbers of a page go in through a temporary table: any count, all bound.
    status = connection.execute(QStringLiteral(
        "CREATE TEMP TABLE IF NOT EXISTS historial_numeros (numero TEXT PRIMARY KEY)"));
    if (status.ok())
        status = connection.execute(QStringLiteral("DELETE FROM temp.historial_numeros"));
    if (status.ok()) {
        // Only the temporary table is written: no lock on a shared file is needed.
        db::Transaction transaction(connection, db::Transaction::Mode::Deferred);
        if (!transaction.isActive())
            status = transaction.beginResult();
        db::Statement insert = connection.prepare(
            QStringLiteral("INSERT OR IGNORE INTO temp.historial_numeros (numero) VALUES (?1)"), &status);
        for (auto it = wanted.cbegin(); status.ok() && it != wanted.cend(); ++it) {
            insert.bind(1, *it);
            status = insert.run();
            insert.reset();
        }
        if (status.ok())
            status = transaction.commit();
    }
    if (status.ok()) {
        db::Statement query = connection.prepare(QStringLiteral(
            "SELECT n.numero, (SELECT a.nombre FROM Agenda a WHERE a.telefono = n.numero "
            "ORDER BY a.sid LIMIT 1) FROM temp.historial_numeros n"), &status);
        while (status.ok() && query.next()) {
            // No contact, or a contact whose name is null: the number is shown instead.
            const QVariant name = query.value(1);
            if (!name.isNull())
                book.m_names.insert(query.text(0), name.toString());
        }
        if (status.ok() && !query.error().isEmpty())
            status = {db::Status::Error, query.error()};
        connection.execute(QStringLiteral("DELETE FROM temp.historial_numeros"));
    }
    if (result)
        *result = status;
    return book;
}

QString NameBook::namesFor(const QString &list) const
{
    if (list.isEmpty())
        return {};
    QStringList texts;
    for (const QString &n : list.split(QLatin1Char(',')))
        texts.append(m_names.value(n, n));
    return texts.join(QStringLiteral(", "));
}

QString namesForList(db::Connection &connection, QString &list)
{
    list = cutForNames(list);
    const NameBook book = NameBook::lookup(connection, list.split(QLatin1Char(',')));
    return book.namesFor(list);
}

} // namespace history
