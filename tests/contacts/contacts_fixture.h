#pragma once

#include "support/fresh_database.h"

#include <QStringList>
#include <QTest>

// A fresh database in a temporary program folder, with helpers to fill the contact book.
namespace contactstest {

struct ContactRow {
    QString name;
    QString phone;
    QString groups;                 // lista_grupos; null when empty
    QString comment;
    QString birthDate;           // stored form
};

class Database final : public testing::FreshDatabase {
public:
    qint64 addContact(const ContactRow &f)
    {
        const db::Result r = connection.execute(
            QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,"
                           "f_nacimiento,grupos_sid) VALUES (?,?,'','','',?,?,?)"),
            {f.name, f.phone, f.comment.isNull() ? QStringLiteral("") : f.comment,
             f.birthDate.isEmpty() ? QVariant() : QVariant(f.birthDate),
             f.groups.isEmpty() ? QVariant() : QVariant(f.groups)});
        if (!r.ok())
            qWarning() << r.error;
        return connection.lastInsertRowId();
    }

    qint64 addContact(const QString &name, const QString &phone, const QString &groups = {})
    {
        return addContact(ContactRow{name, phone, groups, {}, {}});
    }

    qint64 addGroup(const QString &name)
    {
        connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?)"), {name});
        return connection.lastInsertRowId();
    }

    // "Contacto 001" ... with phones 346000000001 ...
    void addMany(int n, const QString &groups = {})
    {
        connection.execute(QStringLiteral("BEGIN"));
        for (int i = 1; i <= n; ++i)
            addContact(QStringLiteral("Contacto %1").arg(i, 3, 10, QLatin1Char('0')),
                     QStringLiteral("34600%1").arg(i, 7, 10, QLatin1Char('0')), groups);
        connection.execute(QStringLiteral("COMMIT"));
    }

    qint64 count(const QString &table, const QString &where = {}, const QVariantList &values = {})
    {
        return connection
            .scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table
                        + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                    values)
            .toLongLong();
    }

    QVariant value(const QString &column, qint64 sid)
    {
        return connection.scalar(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM Agenda WHERE sid=?"), {sid});
    }

    // Names of the contacts matching a condition, in name order.
    QStringList names(const QString &where, const QVariantList &values)
    {
        QStringList r;
        db::Result res;
        for (const db::Row &row :
             connection.select(QStringLiteral("SELECT nombre FROM Agenda WHERE ") + where
                                 + QStringLiteral(" ORDER BY nombre, sid"),
                             values, &res))
            r << row.value(0).toString();
        if (!res.ok())
            qWarning() << res.error;
        return r;
    }
};

} // namespace contactstest
