#include "importexport/access/access_settings.h"

#include "importexport/store/agenda_store.h"

namespace importexport::access {

Mapping defaultMapping(int fieldCount)
{
    Mapping m;
    for (int i = 0; i < 7; ++i)
        m.fields[size_t(i)] = i < fieldCount ? i + 1 : fieldCount;
    m.key = 0;
    return m;
}

bool mappingFits(const Mapping &mapping, int fieldCount)
{
    for (const int c : mapping.fields)
        if (c < 0 || c > fieldCount)
            return false;
    return mapping.key >= 0 && mapping.key < fieldCount;
}

std::optional<RememberedFile> lastFile(db::Connection &connection, db::Result *result)
{
    db::Result r;
    const auto rows = connection.select(QStringLiteral("SELECT tabla,ruta,pass FROM Parametros_Access ORDER BY sid LIMIT 1"),
                                      {}, &r);
    if (result)
        *result = r;
    if (!r.ok() || rows.empty())
        return std::nullopt;
    return RememberedFile{rows[0].value(0).toString(), rows[0].value(1).toString(), rows[0].value(2).toString()};
}

std::optional<Mapping> rememberedMapping(db::Connection &connection, const QString &path, const QString &pass,
                                         const QString &table, db::Result *result)
{
    db::Result r;
    const auto rows = connection.select(
        QStringLiteral("SELECT nombre_i,telefono_i,nombre_completo_i,direccion_i,otro_telefono_i,comentario_i,"
                       "f_nacimiento_i,clave_i FROM Parametros_Access WHERE ruta=?1 AND pass=?2 AND tabla=?3 "
                       "ORDER BY sid LIMIT 1"),
        {nonNullText(path), nonNullText(pass), nonNullText(table)}, &r);
    if (result)
        *result = r;
    if (!r.ok() || rows.empty())
        return std::nullopt;
    Mapping m;
    for (int i = 0; i < 8; ++i) {
        bool ok = false;
        const int value = rows[0].value(i).toString().trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
        if (i < 7)
            m.fields[size_t(i)] = value;
        else
            m.key = value;
    }
    return m;
}

db::Result saveSettings(db::Connection &connection, const QString &table, const QString &path, const QString &pass,
                        const Mapping &mapping)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {db::Status::Error, QStringLiteral("cannot begin a transaction")};
    db::Result r;
    const QVariant any = connection.scalar(QStringLiteral("SELECT 1 FROM Parametros_Access LIMIT 1"), {}, &r);
    if (!r.ok())
        return r;
    if (!any.isValid()) {
        r = connection.execute(QStringLiteral("INSERT INTO Parametros_Access (ruta) VALUES (?1)"), {QStringLiteral("C:\\")});
        if (!r.ok())
            return r;
    }
    QVariantList values{nonNullText(table), nonNullText(path), nonNullText(pass)};
    for (const int c : mapping.fields)
        values << QString::number(c);
    values << QString::number(mapping.key);
    // The table keeps one row: the statement rewrites every row there is.
    r = connection.execute(QStringLiteral("UPDATE Parametros_Access SET tabla=?1, ruta=?2, pass=?3, nombre_i=?4, "
                                        "telefono_i=?5, nombre_completo_i=?6, direccion_i=?7, otro_telefono_i=?8, "
                                        "comentario_i=?9, f_nacimiento_i=?10, clave_i=?11"),
                         values);
    if (!r.ok())
        return r;
    return transaction.commit();
}

} // namespace importexport::access
