#include "contacts/groups/group_admin.h"

#include "contacts/groups/group_membership.h"

namespace contacts::groups {

namespace {

using picker::contactoDeFila;
using picker::kColumnasContacto;
using picker::nodosContacto;
using picker::paginar;

constexpr int kImagenContacto = 1;
constexpr int kImagenMiembro = 2;
constexpr int kImagenDetalle = 3;
const QString kVacia = QStringLiteral("Página 0 de 0");
// This window has always written the category without the accent.
const QString kTituloMovil = QStringLiteral("Telefono móvil");

PaginaLista fallo(const db::Result &r)
{
    PaginaLista p;
    p.ok = false;
    p.error = r.error;
    return p;
}

ResultadoCambio error(const db::Result &r)
{
    return {Cambio::Error, 0, r.error};
}

QString seleccionContactos()
{
    return QStringLiteral("SELECT ") + QLatin1String(kColumnasContacto) + QStringLiteral(" FROM Agenda WHERE ");
}

void sinContactos(PaginaLista &p)
{
    if (p.nodos.empty())
        p.nodos.push_back({QLatin1String(picker::kClaveVacia), {}, QStringLiteral("Sin contactos"), 0});
}

bool grupoExiste(db::Connection &conexion, qint64 grupo, db::Result &r)
{
    return conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE sid = ?"), {grupo}, &r).toLongLong() > 0;
}

// Reads the contact's list, lets `editar` compute the new one and writes it, all in one
// transaction so another workstation's change in between is not lost.
template <typename Editar>
ResultadoCambio cambiarLista(db::Connection &conexion, qint64 grupo, qint64 contacto, bool exigirGrupo,
                             Editar editar)
{
    db::Transaction transaccion(conexion);
    if (!transaccion.isActive())
        return {Cambio::Error, 0, QStringLiteral("transaction")};
    db::Result r;
    if (exigirGrupo) {
        const bool existe = grupoExiste(conexion, grupo, r);
        if (!r.ok())
            return error(r);
        if (!existe)
            return {Cambio::GrupoInexistente, 0, {}};
    }
    const std::vector<db::Row> filas =
        conexion.select(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE sid = ?"), {contacto}, &r);
    if (!r.ok())
        return error(r);
    if (filas.empty())
        return {Cambio::ContactoInexistente, 0, {}};
    const QString antes = filas.front().value(0).toString();
    const QString despues = editar(antes);
    if (despues == antes)
        return {Cambio::SinCambios, 0, {}};
    r = conexion.execute(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), {despues, contacto});
    if (!r.ok())
        return error(r);
    r = transaccion.commit();
    if (!r.ok())
        return error(r);
    return {Cambio::Hecho, 1, {}};
}

} // namespace

CondicionAdmin condicionAgenda(db::Connection &conexion, qint64 grupo, const FiltroAdmin &filtro)
{
    const picker::ClausulaCampo campo = picker::clausulaCampo(filtro.campo, filtro.operador, filtro.palabras);
    if (!campo.condicion)
        return {std::nullopt, campo.error};
    Condicion where = *campo.condicion;
    if (filtro.porGrupo) {
        db::Result r;
        const QVariant otro = conexion.scalar(
            QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {filtro.grupo}, &r);
        if (!r.ok())
            return {std::nullopt, QStringLiteral("No se pudo leer la lista de grupos de la base de datos.")};
        if (!otro.isValid()) {
            return {std::nullopt, QStringLiteral("El grupo \"") + filtro.grupo
                                      + QStringLiteral("\" ya no existe. Elija otro grupo para filtrar.")};
        }
        where = where && picker::esMiembro(otro.toLongLong());
    }
    if (filtro.noIncluidos)
        where = where && picker::noEsMiembro(grupo);
    return {where, {}};
}

PaginaLista paginaAgenda(db::Connection &conexion, qint64 grupo, const Condicion &where, qint64 posicion)
{
    PaginaLista p;
    db::Result r;
    p.filas = conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + where.sql, where.valores, &r)
                  .toLongLong();
    if (!r.ok())
        return fallo(r);
    p.pagina = paginar(p.filas, posicion, kTamanoAgenda, kVacia);
    if (p.filas > 0) {
        QVariantList valores = where.valores;
        valores << kTamanoAgenda << p.pagina.posicion * kTamanoAgenda;
        const std::vector<db::Row> filas = conexion.select(
            seleccionContactos() + where.sql + QStringLiteral(" ORDER BY nombre COLLATE ESPANOL ASC, sid ASC LIMIT ? OFFSET ?"),
            valores, &r);
        if (!r.ok())
            return fallo(r);
        for (const db::Row &fila : filas) {
            const picker::Contacto c = contactoDeFila(fila);
            nodosContacto(c, perteneceAGrupo(c.grupos_sid, grupo) ? kImagenMiembro : kImagenContacto,
                          kImagenDetalle, p.nodos, kTituloMovil);
        }
    }
    sinContactos(p);
    return p;
}

PaginaLista paginaMiembros(db::Connection &conexion, qint64 grupo, qint64 posicion)
{
    PaginaLista p;
    db::Result r;
    const QString miembro = picker::sqlMiembro();
    const QString t = QString::number(grupo);
    p.filas = conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + miembro, {t}, &r).toLongLong();
    if (!r.ok())
        return fallo(r);
    p.pagina = paginar(p.filas, posicion, kTamanoMiembros, kVacia);
    if (p.filas > 0) {
        // Each page starts after the largest sid of the earlier ones, so no member is skipped or
        // shown twice even when the list changed between two pages.
        qint64 desde = 0;
        if (p.pagina.posicion > 0) {
            desde = conexion
                        .scalar(QStringLiteral("SELECT MAX(sid) FROM (SELECT sid FROM Agenda WHERE ") + miembro
                                    + QStringLiteral(" ORDER BY sid ASC LIMIT ?)"),
                                {t, p.pagina.posicion * kTamanoMiembros}, &r)
                        .toLongLong();
            if (!r.ok())
                return fallo(r);
        }
        const std::vector<db::Row> filas = conexion.select(
            seleccionContactos() + miembro + QStringLiteral(" AND sid > ? ORDER BY sid ASC LIMIT ?"),
            {t, desde, kTamanoMiembros}, &r);
        if (!r.ok())
            return fallo(r);
        for (const db::Row &fila : filas)
            nodosContacto(contactoDeFila(fila), kImagenContacto, kImagenDetalle, p.nodos, kTituloMovil);
    }
    sinContactos(p);
    return p;
}

QStringList otrosGrupos(db::Connection &conexion, qint64 grupo, db::Result *resultado)
{
    QStringList nombres;
    for (const db::Row &fila : conexion.select(
             QStringLiteral("SELECT nombre FROM Grupos WHERE sid <> ? ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {grupo},
             resultado))
        nombres << fila.value(0).toString();
    return nombres;
}

std::optional<bool> contactoEnGrupo(db::Connection &conexion, qint64 grupo, qint64 contacto)
{
    db::Result r;
    const std::vector<db::Row> filas =
        conexion.select(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE sid = ?"), {contacto}, &r);
    if (!r.ok() || filas.empty())
        return std::nullopt;
    return perteneceAGrupo(filas.front().value(0).toString(), grupo);
}

ResultadoCambio agregarContacto(db::Connection &conexion, qint64 grupo, qint64 contacto)
{
    return cambiarLista(conexion, grupo, contacto, true,
                        [grupo](const QString &lista) { return conGrupo(lista, grupo); });
}

ResultadoCambio quitarContacto(db::Connection &conexion, qint64 grupo, qint64 contacto)
{
    return cambiarLista(conexion, grupo, contacto, false, [grupo](const QString &lista) {
        const QString resto = sinGrupo(lista, grupo);
        // A list that never held the group is left exactly as it was.
        return perteneceAGrupo(lista, grupo) ? resto : lista;
    });
}

ResultadoCambio agregarLista(db::Connection &conexion, qint64 grupo, const Condicion &where)
{
    db::Transaction transaccion(conexion);
    if (!transaccion.isActive())
        return {Cambio::Error, 0, QStringLiteral("transaction")};
    db::Result r;
    const bool existe = grupoExiste(conexion, grupo, r);
    if (!r.ok())
        return error(r);
    if (!existe)
        return {Cambio::GrupoInexistente, 0, {}};

    const std::vector<db::Row> filas = conexion.select(
        QStringLiteral("SELECT sid, grupos_sid FROM Agenda WHERE ") + where.sql, where.valores, &r);
    if (!r.ok())
        return error(r);
    db::Statement actualizar = conexion.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid = ? WHERE sid = ?"), &r);
    if (!r.ok())
        return error(r);
    qint64 cambiados = 0;
    for (const db::Row &fila : filas) {
        const QString lista = fila.value(1).toString();
        if (perteneceAGrupo(lista, grupo))
            continue;
        actualizar.reset();
        actualizar.bindAll({conGrupo(lista, grupo), fila.value(0)});
        r = actualizar.run();
        if (!r.ok())
            return error(r);
        ++cambiados;
    }
    if (cambiados == 0)
        return {Cambio::SinCambios, 0, {}};
    r = transaccion.commit();
    if (!r.ok())
        return error(r);
    return {Cambio::Hecho, cambiados, {}};
}

} // namespace contacts::groups
