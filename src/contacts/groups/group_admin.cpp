#include "contacts/groups/group_admin.h"

#include "contacts/groups/group_membership.h"

namespace contacts::groups {

namespace {

constexpr int kContactImage = 1;
constexpr int kMemberImage = 2;
constexpr int kDetailImage = 3;
const QString kEmptyPageLabel = QStringLiteral("Página 0 de 0");
// This window has always written the category without the accent.
const QString kMobileTitle = QStringLiteral("Telefono móvil");

PaginaLista failure(const db::Result &r)
{
    PaginaLista p;
    p.ok = false;
    p.error = r.error;
    return p;
}

ResultadoCambio error(const db::Result &r)
{
    return {ChangeOutcome::Error, 0, r.error};
}

QString pickedContacts()
{
    return QStringLiteral("SELECT ") + QLatin1String(picker::kColumnasContacto) + QStringLiteral(" FROM Agenda WHERE ");
}

void withoutContacts(PaginaLista &p)
{
    if (p.nodos.empty())
        p.nodos.push_back({QLatin1String(kClaveVacia), {}, QStringLiteral("Sin contactos"), 0});
}

bool groupStillExists(db::Connection &connection, qint64 group, db::Result &r)
{
    return connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE sid = ?"), {group}, &r).toLongLong() > 0;
}

// Reads the contact's list, lets `edit` compute the new one and writes it, all in one
// transaction so another workstation's change in between is not lost.
template <typename Editar>
ResultadoCambio changeList(db::Connection &connection, qint64 group, qint64 contact, bool requireGroup,
                             Editar edit)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {ChangeOutcome::Error, 0, QStringLiteral("transaction")};
    db::Result r;
    if (requireGroup) {
        const bool exists = groupStillExists(connection, group, r);
        if (!r.ok())
            return error(r);
        if (!exists)
            return {ChangeOutcome::GrupoInexistente, 0, {}};
    }
    const std::vector<db::Row> rows =
        connection.select(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE sid = ?"), {contact}, &r);
    if (!r.ok())
        return error(r);
    if (rows.empty())
        return {ChangeOutcome::ContactoInexistente, 0, {}};
    const QString before = rows.front().value(0).toString();
    const QString after = edit(before);
    if (after == before)
        return {ChangeOutcome::SinCambios, 0, {}};
    r = connection.execute(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), {after, contact});
    if (!r.ok())
        return error(r);
    r = transaction.commit();
    if (!r.ok())
        return error(r);
    return {ChangeOutcome::Hecho, 1, {}};
}

} // namespace

CondicionAdmin condicionAgenda(db::Connection &connection, qint64 group, const FiltroAdmin &filter)
{
    const picker::ClausulaCampo field = picker::clausulaCampo(filter.campo, filter.operador, filter.palabras);
    if (!field.condicion)
        return {std::nullopt, field.error};
    Condicion where = *field.condicion;
    if (filter.porGrupo) {
        db::Result r;
        const QVariant another = connection.scalar(
            QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {filter.grupo}, &r);
        if (!r.ok())
            return {std::nullopt, QStringLiteral("No se pudo leer la lista de grupos de la base de datos.")};
        if (!another.isValid()) {
            return {std::nullopt, QStringLiteral("El grupo \"") + filter.grupo
                                      + QStringLiteral("\" ya no existe. Elija otro grupo para filtrar.")};
        }
        where = where && picker::esMiembro(another.toLongLong());
    }
    if (filter.noIncluidos)
        where = where && picker::noEsMiembro(group);
    return {where, {}};
}

PaginaLista paginaAgenda(db::Connection &connection, qint64 group, const Condicion &where, qint64 position)
{
    PaginaLista p;
    db::Result r;
    p.filas = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + where.sql, where.valores, &r)
                  .toLongLong();
    if (!r.ok())
        return failure(r);
    p.pagina = picker::paginar(p.filas, position, kTamanoAgenda, kEmptyPageLabel);
    if (p.filas > 0) {
        QVariantList values = where.valores;
        values << kTamanoAgenda << p.pagina.posicion * kTamanoAgenda;
        const std::vector<db::Row> rows = connection.select(
            pickedContacts() + where.sql + QStringLiteral(" ORDER BY nombre COLLATE ESPANOL ASC, sid ASC LIMIT ? OFFSET ?"),
            values, &r);
        if (!r.ok())
            return failure(r);
        for (const db::Row &row : rows) {
            const Contacto c = picker::contactoDeFila(row);
            picker::nodosContacto(c, perteneceAGrupo(c.grupos_sid, group) ? kMemberImage : kContactImage,
                          kDetailImage, p.nodos, kMobileTitle);
        }
    }
    withoutContacts(p);
    return p;
}

PaginaLista paginaMiembros(db::Connection &connection, qint64 group, qint64 position)
{
    PaginaLista p;
    db::Result r;
    const QString member = picker::sqlMiembro();
    const QString t = QString::number(group);
    p.filas = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + member, {t}, &r).toLongLong();
    if (!r.ok())
        return failure(r);
    p.pagina = picker::paginar(p.filas, position, kTamanoMiembros, kEmptyPageLabel);
    if (p.filas > 0) {
        // Each page starts after the largest sid of the earlier ones, so no member is skipped or
        // shown twice even when the list changed between two pages.
        qint64 from = 0;
        if (p.pagina.posicion > 0) {
            from = connection
                        .scalar(QStringLiteral("SELECT MAX(sid) FROM (SELECT sid FROM Agenda WHERE ") + member
                                    + QStringLiteral(" ORDER BY sid ASC LIMIT ?)"),
                                {t, p.pagina.posicion * kTamanoMiembros}, &r)
                        .toLongLong();
            if (!r.ok())
                return failure(r);
        }
        const std::vector<db::Row> rows = connection.select(
            pickedContacts() + member + QStringLiteral(" AND sid > ? ORDER BY sid ASC LIMIT ?"),
            {t, from, kTamanoMiembros}, &r);
        if (!r.ok())
            return failure(r);
        for (const db::Row &row : rows)
            picker::nodosContacto(picker::contactoDeFila(row), kContactImage, kDetailImage, p.nodos, kMobileTitle);
    }
    withoutContacts(p);
    return p;
}

QStringList otrosGrupos(db::Connection &connection, qint64 group, db::Result *result)
{
    QStringList nombres;
    for (const db::Row &row : connection.select(
             QStringLiteral("SELECT nombre FROM Grupos WHERE sid <> ? ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {group},
             result))
        nombres << row.value(0).toString();
    return nombres;
}

std::optional<bool> contactoEnGrupo(db::Connection &connection, qint64 group, qint64 contact)
{
    db::Result r;
    const std::vector<db::Row> rows =
        connection.select(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE sid = ?"), {contact}, &r);
    if (!r.ok() || rows.empty())
        return std::nullopt;
    return perteneceAGrupo(rows.front().value(0).toString(), group);
}

ResultadoCambio agregarContacto(db::Connection &connection, qint64 group, qint64 contact)
{
    return changeList(connection, group, contact, true,
                        [group](const QString &list) { return conGrupo(list, group); });
}

ResultadoCambio quitarContacto(db::Connection &connection, qint64 group, qint64 contact)
{
    return changeList(connection, group, contact, false, [group](const QString &list) {
        const QString rest = sinGrupo(list, group);
        // A list that never held the group is left exactly as it was.
        return perteneceAGrupo(list, group) ? rest : list;
    });
}

ResultadoCambio agregarLista(db::Connection &connection, qint64 group, const Condicion &where)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return {ChangeOutcome::Error, 0, QStringLiteral("transaction")};
    db::Result r;
    const bool exists = groupStillExists(connection, group, r);
    if (!r.ok())
        return error(r);
    if (!exists)
        return {ChangeOutcome::GrupoInexistente, 0, {}};

    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT sid, grupos_sid FROM Agenda WHERE ") + where.sql, where.valores, &r);
    if (!r.ok())
        return error(r);
    db::Statement update = connection.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), &r);
    if (!r.ok())
        return error(r);
    qint64 changed = 0;
    for (const db::Row &row : rows) {
        const QString list = row.value(1).toString();
        if (perteneceAGrupo(list, group))
            continue;
        update.reset();
        update.bindAll({conGrupo(list, group), row.value(0)});
        r = update.run();
        if (!r.ok())
            return error(r);
        ++changed;
    }
    if (changed == 0)
        return {ChangeOutcome::SinCambios, 0, {}};
    r = transaction.commit();
    if (!r.ok())
        return error(r);
    return {ChangeOutcome::Hecho, changed, {}};
}

} // namespace contacts::groups
