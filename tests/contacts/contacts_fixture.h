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
    qint64 contacto(const Fila &f)
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

    qint64 contacto(const QString &nombre, const QString &telefono, const QString &grupos = {})
    {
        return contacto(Fila{nombre, telefono, grupos, {}, {}});
    }

    qint64 grupo(const QString &nombre)
    {
        conexion.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?)"), {nombre});
        return conexion.lastInsertRowId();
    }

    // "Contacto 001" ... with phones 346000000001 ...
    void muchos(int n, const QString &grupos = {})
    {
        conexion.execute(QStringLiteral("BEGIN"));
        for (int i = 1; i <= n; ++i)
            contacto(QStringLiteral("Contacto %1").arg(i, 3, 10, QLatin1Char('0')),
                     QStringLiteral("34600%1").arg(i, 7, 10, QLatin1Char('0')), grupos);
        conexion.execute(QStringLiteral("COMMIT"));
    }

    qint64 cuenta(const QString &tabla, const QString &where = {}, const QVariantList &valores = {})
    {
        return conexion
            .scalar(QStringLiteral("SELECT COUNT(*) FROM ") + tabla
                        + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                    valores)
            .toLongLong();
    }

    QVariant valor(const QString &columna, qint64 sid)
    {
        return conexion.scalar(QStringLiteral("SELECT ") + columna + QStringLiteral(" FROM Agenda WHERE sid=?"), {sid});
    }

    // Names of the contacts matching a condition, in name order.
    QStringList nombres(const QString &where, const QVariantList &valores)
    {
        QStringList r;
        db::Result res;
        for (const db::Row &fila :
             conexion.select(QStringLiteral("SELECT nombre FROM Agenda WHERE ") + where
                                 + QStringLiteral(" ORDER BY nombre, sid"),
                             valores, &res))
            r << fila.value(0).toString();
        if (!res.ok())
            qWarning() << res.error;
        return r;
    }
};

} // namespace contactstest
