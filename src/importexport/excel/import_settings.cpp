#include "importexport/excel/import_settings.h"

#include "platform/db/connection.h"

namespace importexport::excel {

ImportSettings readSettings(db::Connection &connection, db::Result *result)
{
    ImportSettings settings;
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT ruta,nombre_i,telefono_i,nombre_completo_i,direccion_i,otro_telefono_i,comentario_i,"
                       "f_nacimiento_i FROM Parametros_Excel ORDER BY sid LIMIT 1"),
        {}, result);
    if (rows.empty())
        return settings;
    const db::Row &row = rows.front();
    settings.hasRow = true;
    settings.path = row.value(0).toString();
    for (int i = 0; i < kFieldCount; ++i)
        settings.indices[size_t(i)] = row.value(i + 1);
    return settings;
}

db::Result ensureRow(db::Connection &connection)
{
    db::Result r;
    const qint64 rows = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Parametros_Excel"), {}, &r).toLongLong();
    if (!r.ok() || rows > 0)
        return r;
    return connection.execute(QStringLiteral("INSERT INTO Parametros_Excel (ruta) VALUES (?1)"), {kInitialPath});
}

db::Result savePath(db::Connection &connection, const QString &path)
{
    return connection.execute(QStringLiteral("UPDATE Parametros_Excel SET ruta=?1"), {path});
}

db::Result saveIndices(db::Connection &connection, const std::array<int, kFieldCount> &indices)
{
    QVariantList values;
    for (const int index : indices)
        values << QString::number(index);
    return connection.execute(
        QStringLiteral("UPDATE Parametros_Excel SET nombre_i=?1, telefono_i=?2, nombre_completo_i=?3, direccion_i=?4, "
                       "otro_telefono_i=?5, comentario_i=?6, f_nacimiento_i=?7"),
        values);
}

} // namespace importexport::excel
