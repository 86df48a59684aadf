#include "contacts/group_book.h"

#include "contacts/group_list.h"
#include "platform/db/connection.h"
#include "platform/db/id_list.h"

#include <QHash>

namespace contacts {

ListaGrupos listarGrupos(db::Connection &connection)
{
    ListaGrupos list;
    db::Result r;
    const std::vector<db::Row> groups =
        connection.select(QStringLiteral("SELECT sid, nombre FROM Grupos ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {}, &r);
    if (!r.ok()) {
        list.ok = false;
        list.error = r.error;
        return list;
    }
    // One pass over the lists instead of one scan of the book per group.
    QHash<qint64, qint64> counts;
    db::Statement listViews = connection.prepare(
        QStringLiteral("SELECT grupos_sid FROM Agenda WHERE grupos_sid IS NOT NULL AND grupos_sid <> ''"), &r);
    if (!listViews.isValid()) {
        list.ok = false;
        list.error = r.error;
        return list;
    }
    while (listViews.next()) {
        const QString text = listViews.text(0);
        QList<qint64> seen;
        for (const QStringView entry : QStringView(text).split(u',')) {
            // A contact counts once per group even if its list repeats the group.
            const std::optional<qint64> g = db::idOfEntry(entry);
            if (g && !seen.contains(*g)) {
                seen << *g;
                ++counts[*g];
            }
        }
    }
    if (!listViews.error().isEmpty()) {
        list.ok = false;
        list.error = listViews.error();
        return list;
    }
    for (const db::Row &row : groups) {
        Grupo g;
        g.sid = row.value(0).toLongLong();
        g.nombre = row.value(1).toString();
        g.miembros = counts.value(g.sid);
        list.grupos.push_back(g);
    }
    return list;
}

QString textoGrupo(const Grupo &group)
{
    if (group.miembros <= 0)
        return group.nombre;
    return group.nombre + QStringLiteral(" (") + QString::number(group.miembros) + QStringLiteral(" contactos)");
}

ListaFiltroGrupos listaFiltroGrupos(const std::vector<Grupo> &groups, const QString &remembered)
{
    ListaFiltroGrupos list;
    if (groups.empty()) {
        list.nombres = {QStringLiteral("Ninguno")};
        list.seleccion = 0;
        return list;
    }
    list.activo = true;
    for (const Grupo &g : groups) {
        list.nombres << g.nombre;
        if (list.seleccion < 0 && (remembered.isEmpty() || g.nombre == remembered))
            list.seleccion = int(list.nombres.size()) - 1;
    }
    return list;
}

bool existeGrupo(db::Connection &connection, const QString &name)
{
    // SQLite's NOCASE folds ASCII letters only; "Peña" and "PEÑA" are the same group to the user.
    // The group table is short, so the names are compared here with full case folding.
    for (const db::Row &row : connection.select(QStringLiteral("SELECT nombre FROM Grupos"))) {
        if (row.value(0).toString().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString avisoGrupoRepetido(const QString &name)
{
    return QStringLiteral("Ya existe un grupo con el nombre '") + name
        + QStringLiteral("'. Por favor, introduzca otro nombre para el grupo, o dejelo vacío para cancelar.");
}

QString preguntaBorrarGrupo(const QString &name)
{
    return QStringLiteral("El grupo '") + name
        + QStringLiteral("' contiene contactos y antes de borrar el grupo es necesario desvincular dichos contactos "
                         "y no tendrá marcha atrás. Escriba SI para confirmar la acción.");
}

ResultadoCrearGrupo crearGrupo(db::Connection &connection, const Preguntar &ask,
                               const std::function<void(const QString &)> &reportTaken)
{
    ResultadoCrearGrupo r;
    QString name;
    for (;;) {
        const std::optional<QString> answer =
            ask(QString::fromUtf8(kPreguntaNuevoGrupo), QString::fromUtf8(kTituloCrearGrupo), QString());
        if (!answer || answer->isEmpty())
            return r;
        name = *answer;
        if (!existeGrupo(connection, name))
            break;
        r.repetidos.push_back(name);
        if (reportTaken)
            reportTaken(name);
    }
    const db::Result insert = connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?)"), {name});
    r.nombre = name;
    if (!insert.ok()) {
        r.estado = ResultadoCrearGrupo::Status::ErrorBaseDatos;
        r.error = insert.error;
        return r;
    }
    r.estado = ResultadoCrearGrupo::Status::Creado;
    r.sid = connection.lastInsertRowId();
    return r;
}

ResultadoBorrarGrupo f_borrar_grupo(db::Connection &connection, qint64 sid, const Preguntar &ask)
{
    ResultadoBorrarGrupo r;
    const QVariant name = connection.scalar(QStringLiteral("SELECT nombre FROM Grupos WHERE sid = ?"), {sid});
    if (!name.isValid())
        return r;
    r.nombre = name.toString();

    db::Result readBack;
    const std::vector<db::Row> members = connection.select(
        QStringLiteral("SELECT sid, grupos_sid FROM Agenda WHERE ") + condicionMiembro(), {QString::number(sid)},
        &readBack);
    if (!readBack.ok()) {
        r.estado = ResultadoBorrarGrupo::Status::ErrorBaseDatos;
        r.error = readBack.error;
        return r;
    }
    if (!members.empty()) {
        const std::optional<QString> answer = ask(preguntaBorrarGrupo(r.nombre),
                                                           QString::fromUtf8(kTituloConfirmarBorrado),
                                                           QStringLiteral("SI"));
        if (!answer || answer->trimmed().compare(QLatin1String("si"), Qt::CaseInsensitive) != 0) {
            r.estado = ResultadoBorrarGrupo::Status::Abortado;
            return r;
        }
    }

    // Every list and the group itself change together: a failure half-way leaves all as it was.
    db::Transaction transaction(connection);
    auto failure = [&r](const db::Result &res) {
        r.estado = ResultadoBorrarGrupo::Status::ErrorBaseDatos;
        r.error = res.error;
        r.desvinculados = 0;
        return r;
    };
    if (!transaction.isActive())
        return failure(transaction.beginResult());
    db::Result prepared;
    db::Statement update =
        connection.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), &prepared);
    if (!update.isValid())
        return failure(prepared);
    for (const db::Row &row : members) {
        update.bind(1, quitarGrupo(row.value(1).toString(), sid));
        update.bind(2, row.value(0).toLongLong());
        const db::Result res = update.run();
        if (!res.ok())
            return failure(res);
        update.reset();
        ++r.desvinculados;
    }
    const db::Result deleted = connection.execute(QStringLiteral("DELETE FROM Grupos WHERE sid = ?"), {sid});
    if (!deleted.ok())
        return failure(deleted);
    const db::Result done = transaction.commit();
    if (!done.ok())
        return failure(done);
    r.estado = ResultadoBorrarGrupo::Status::Borrado;
    return r;
}

} // namespace contacts
