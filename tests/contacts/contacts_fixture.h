#pragma once

#include "support/fresh_database.h"

#include <QStringList>
#include <QTest>

// A fresh database in a temporary program folder, with helpers to fill the contact book.
namespace contactstest {

struct Fila {
    QString nombre;
    QString telefono;
    QString grupos;                 // lista_grupos; null when empty
    QString comentario;
    QString f_nacimiento;           // stored form
};

class Database final : public testing::FreshDatabase {
public:
    qint64 addContact(const Fila &f)
    {
        const db::Result r = conexion.execute(
            QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,"
                           "f_nacimiento,grupos_sid) VALUES (?,?,'','','',?,?,?)"),
            {f.nombre, f.telefono, f.comentario.isNull() ? QStringLiteral("") : f.comentario,
             f.f_nacimiento.isEmpty() ? QVariant() : QVariant(f.f_nacimiento),
             f.grupos.isEmpty() ? QVariant() : QVariant(f.grupos)});
        if (!r.ok())
            qWarning() << r.error;
        return conexion.lastInsertRowId();
    }

    qint64 addContact(const QString &name, const QString &phone, const QString &groups = {})
    {
        return addContact(Fila{name, phone, groups, {}, {}});
    }

    qint64 grupo(const QString &name)
    {
        conexion.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?)"), {name});
        return conexion.lastInsertRowId();
    }

    // "Contacto 001" ... with phones 346000000001 ...
    void muchos(int n, const QString &groups = {})
    {
        conexion.execute(QStringLiteral("BEGIN"));
        for (int i = 1; i <= n; ++i)
            addContact(QStringLiteral("Contacto %1").arg(i, 3, 10, QLatin1Char('0')),
                     QStringLiteral("34600%1").arg(i, 7, 10, QLatin1Char('0')), groups);
        conexion.execute(QStringLiteral("COMMIT"));
    }

    qint64 cuenta(const QString &table, const QString &where = {}, const QVariantList &values = {})
    {
        return conexion
            .scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table
                        + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                    values)
            .toLongLong();
    }

    QVariant valor(const QString &column, qint64 sid)
    {
        return conexion.scalar(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM Agenda WHERE sid=?"), {sid});
    }

    // Names of the contacts matching a condition, in name order.
    QStringList nombres(const QString &where, const QVariantList &values)
    {
        QStringList r;
        db::Result res;
        for (const db::Row &row :
             conexion.select(QStringLiteral("SELECT nombre FROM Agenda WHERE ") + where
                                 + QStringLiteral(" ORDER BY nombre, sid"),
                             values, &res))
            r << row.value(0).toString();
        if (!res.ok())
            qWarning() << res.error;
        return r;
    }
};

} // namespace contactstest
