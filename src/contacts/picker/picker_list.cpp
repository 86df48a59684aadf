#include "contacts/picker/picker_list.h"

namespace contacts::picker {

namespace {

constexpr int kContactImage = 1;
constexpr int kGroupImage = 3;

QString where(const std::optional<Condicion> &condition)
{
    return condition && !condition->isEmpty() ? QStringLiteral(" WHERE ") + condition->sql : QString();
}

QVariantList values(const std::optional<Condicion> &condition)
{
    return condition ? condition->valores : QVariantList{};
}

} // namespace

CondicionSelector condicionSelector(db::Connection &connection, const FiltroSelector &filter)
{
    const ClausulaCampo field = clausulaCampo(filter.campo, filter.operador, filter.palabras);
    if (!field.condicion)
        return {std::nullopt, field.error};
    Condicion condition = *field.condicion;
    if (filter.porGrupo) {
        db::Result r;
        const QVariant sid = connection.scalar(
            QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {filter.grupo}, &r);
        if (!r.ok())
            return {std::nullopt, QStringLiteral("No se pudo leer la lista de grupos de la base de datos.")};
        if (sid.isValid())
            condition = condition && esMiembro(sid.toLongLong());
    }
    return {condition, {}};
}

PaginaSelector paginaSelector(db::Connection &connection, const std::optional<Condicion> &condition,
                              qint64 position)
{
    PaginaSelector p;
    auto failure = [&p](const db::Result &r) {
        p.ok = false;
        p.error = r.error;
        return p;
    };

    db::Result r;
    p.contactos = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda") + where(condition),
                                  values(condition), &r)
                      .toLongLong();
    if (!r.ok())
        return failure(r);
    if (!condition) {
        p.grupos = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos"), {}, &r).toLongLong();
        if (!r.ok())
            return failure(r);
    }

    p.pagina = paginar(p.grupos + p.contactos, position, kTamanoSelector, QStringLiteral("Página 1 de 1"));
    const qint64 start = p.pagina.posicion * kTamanoSelector;
    qint64 placed = 0;

    if (p.grupos > start) {
        const std::vector<db::Row> groups =
            connection.select(QStringLiteral("SELECT sid, nombre FROM Grupos ORDER BY sid LIMIT ? OFFSET ?"),
                            {kTamanoSelector, start}, &r);
        if (!r.ok())
            return failure(r);
        db::Statement countQuery = connection.prepare(
            QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + sqlMiembro(), &r);
        if (!r.ok())
            return failure(r);
        for (const db::Row &g : groups) {
            countQuery.reset();
            countQuery.bind(1, g.value(0).toString());
            const qint64 members = countQuery.next() ? countQuery.value(0).toLongLong() : 0;
            p.nodos.push_back({QStringLiteral("pGrupo ") + g.value(0).toString(), {},
                               g.value(1).toString() + QStringLiteral(" (") + QString::number(members)
                                   + QStringLiteral(" contactos)"),
                               kGroupImage});
            ++placed;
        }
    }

    if (placed < kTamanoSelector && p.contactos > 0) {
        QVariantList v = values(condition);
        v << kTamanoSelector - placed << qMax<qint64>(0, start - p.grupos);
        const std::vector<db::Row> rows = connection.select(
            QStringLiteral("SELECT ") + QLatin1String(kColumnasContacto) + QStringLiteral(" FROM Agenda")
                + where(condition) + QStringLiteral(" ORDER BY nombre COLLATE ESPANOL ASC, sid ASC LIMIT ? OFFSET ?"),
            v, &r);
        if (!r.ok())
            return failure(r);
        for (const db::Row &row : rows)
            nodosContacto(contactoDeFila(row), kContactImage, kContactImage, p.nodos);
    }

    if (p.contactos == 0)
        p.nodos.push_back({QLatin1String(kClaveVacia), {}, QStringLiteral("Sin contactos"), 0});
    return p;
}

QStringList nombresDeGrupos(db::Connection &connection, db::Result *result)
{
    QStringList nombres;
    for (const db::Row &row :
         connection.select(QStringLiteral("SELECT nombre FROM Grupos ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {}, result))
        nombres << row.value(0).toString();
    return nombres;
}

} // namespace contacts::picker
