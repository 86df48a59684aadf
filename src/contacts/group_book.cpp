#include "contacts/group_book.h"

#include "contacts/group_list.h"
#include "platform/db/connection.h"
#include "platform/db/id_list.h"

#include <QHash>

namespace contacts {

ListaGrupos listarGrupos(db::Connection &conexion)
{
    ListaGrupos lista;
    db::Result r;
    const std::vector<db::Row> grupos =
        conexion.select(QStringLiteral("SELECT sid, nombre FROM Grupos ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {}, &r);
    if (!r.ok()) {
        lista.ok = false;
        lista.error = r.error;
        return lista;
    }
    // One pass over the lists instead of one scan of the book per group.
    QHash<qint64, qint64> cuentas;
    db::Statement listas = conexion.prepare(
        QStringLiteral("SELECT grupos_sid FROM Agenda WHERE grupos_sid IS NOT NULL AND grupos_sid <> ''"), &r);
    if (!listas.isValid()) {
        lista.ok = false;
        lista.error = r.error;
        return lista;
    }
    while (listas.next()) {
        const QString texto = listas.text(0);
        QList<qint64> vistos;
        for (const QStringView entrada : QStringView(texto).split(u',')) {
            // A contact counts once per group even if its list repeats the group.
            const std::optional<qint64> g = db::idOfEntry(entrada);
            if (g && !vistos.contains(*g)) {
                vistos << *g;
                ++cuentas[*g];
            }
        }
    }
    if (!listas.error().isEmpty()) {
        lista.ok = false;
        lista.error = listas.error();
        return lista;
    }
    for (const db::Row &fila : grupos) {
        Grupo g;
        g.sid = fila.value(0).toLongLong();
        g.nombre = fila.value(1).toString();
        g.miembros = cuentas.value(g.sid);
        lista.grupos.push_back(g);
    }
    return lista;
}

QString textoGrupo(const Grupo &grupo)
{
    if (grupo.miembros <= 0)
        return grupo.nombre;
    return grupo.nombre + QStringLiteral(" (") + QString::number(grupo.miembros) + QStringLiteral(" contactos)");
}

ListaFiltroGrupos listaFiltroGrupos(const std::vector<Grupo> &grupos, const QString &recordado)
{
    ListaFiltroGrupos lista;
    if (grupos.empty()) {
        lista.nombres = {QStringLiteral("Ninguno")};
        lista.seleccion = 0;
        return lista;
    }
    lista.activo = true;
    for (const Grupo &g : grupos) {
        lista.nombres << g.nombre;
        if (lista.seleccion < 0 && (recordado.isEmpty() || g.nombre == recordado))
            lista.seleccion = int(lista.nombres.size()) - 1;
    }
    return lista;
}

bool existeGrupo(db::Connection &conexion, const QString &nombre)
{
    // SQLite's NOCASE folds ASCII letters only; "Peña" and "PEÑA" are the same group to the user.
    // The group table is short, so the names are compared here with full case folding.
    for (const db::Row &fila : conexion.select(QStringLiteral("SELECT nombre FROM Grupos"))) {
        if (fila.value(0).toString().compare(nombre, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString avisoGrupoRepetido(const QString &nombre)
{
    return QStringLiteral("Ya existe un grupo con el nombre '") + nombre
        + QStringLiteral("'. Por favor, introduzca otro nombre para el grupo, o dejelo vacío para cancelar.");
}

QString preguntaBorrarGrupo(const QString &nombre)
{
    return QStringLiteral("El grupo '") + nombre
        + QStringLiteral("' contiene contactos y antes de borrar el grupo es necesario desvincular dichos contactos "
                         "y no tendrá marcha atrás. Escriba SI para confirmar la acción.");
}

ResultadoCrearGrupo crearGrupo(db::Connection &conexion, const Preguntar &preguntar,
                               const std::function<void(const QString &)> &avisarRepetido)
{
    ResultadoCrearGrupo r;
    QString nombre;
    for (;;) {
        const std::optional<QString> respuesta =
            preguntar(QString::fromUtf8(kPreguntaNuevoGrupo), QString::fromUtf8(kTituloCrearGrupo), QString());
        if (!respuesta || respuesta->isEmpty())
            return r;
        nombre = *respuesta;
        if (!existeGrupo(conexion, nombre))
            break;
        r.repetidos.push_back(nombre);
        if (avisarRepetido)
            avisarRepetido(nombre);
    }
    const db::Result insert = conexion.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?)"), {nombre});
    r.nombre = nombre;
    if (!insert.ok()) {
        r.estado = ResultadoCrearGrupo::Estado::ErrorBaseDatos;
        r.error = insert.error;
        return r;
    }
    r.estado = ResultadoCrearGrupo::Estado::Creado;
    r.sid = conexion.lastInsertRowId();
    return r;
}

ResultadoBorrarGrupo f_borrar_grupo(db::Connection &conexion, qint64 sid, const Preguntar &preguntar)
{
    ResultadoBorrarGrupo r;
    const QVariant nombre = conexion.scalar(QStringLiteral("SELECT nombre FROM Grupos WHERE sid = ?"), {sid});
    if (!nombre.isValid())
        return r;
    r.nombre = nombre.toString();

    db::Result leido;
    const std::vector<db::Row> miembros = conexion.select(
        QStringLiteral("SELECT sid, grupos_sid FROM Agenda WHERE ") + condicionMiembro(), {QString::number(sid)},
        &leido);
    if (!leido.ok()) {
        r.estado = ResultadoBorrarGrupo::Estado::ErrorBaseDatos;
        r.error = leido.error;
        return r;
    }
    if (!miembros.empty()) {
        const std::optional<QString> respuesta = preguntar(preguntaBorrarGrupo(r.nombre),
                                                           QString::fromUtf8(kTituloConfirmarBorrado),
                                                           QStringLiteral("SI"));
        if (!respuesta || respuesta->trimmed().compare(QLatin1String("si"), Qt::CaseInsensitive) != 0) {
            r.estado = ResultadoBorrarGrupo::Estado::Abortado;
            return r;
        }
    }

    // Every list and the group itself change together: a failure half-way leaves all as it was.
    db::Transaction transaccion(conexion);
    auto fallo = [&r](const db::Result &res) {
        r.estado = ResultadoBorrarGrupo::Estado::ErrorBaseDatos;
        r.error = res.error;
        r.desvinculados = 0;
        return r;
    };
    if (!transaccion.isActive())
        return fallo(transaccion.beginResult());
    db::Result preparado;
    db::Statement update =
        conexion.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), &preparado);
    if (!update.isValid())
        return fallo(preparado);
    for (const db::Row &fila : miembros) {
        update.bind(1, quitarGrupo(fila.value(1).toString(), sid));
        update.bind(2, fila.value(0).toLongLong());
        const db::Result res = update.run();
        if (!res.ok())
            return fallo(res);
        update.reset();
        ++r.desvinculados;
    }
    const db::Result borrado = conexion.execute(QStringLiteral("DELETE FROM Grupos WHERE sid = ?"), {sid});
    if (!borrado.ok())
        return fallo(borrado);
    const db::Result fin = transaccion.commit();
    if (!fin.ok())
        return fallo(fin);
    r.estado = ResultadoBorrarGrupo::Estado::Borrado;
    return r;
}

} // namespace contacts
