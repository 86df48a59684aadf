#include "contacts/picker/picker_list.h"

namespace contacts::picker {

namespace {

constexpr int kImagenContacto = 1;
constexpr int kImagenGrupo = 3;

QString where(const std::optional<Condicion> &condicion)
{
    return condicion && !condicion->isEmpty() ? QStringLiteral(" WHERE ") + condicion->sql : QString();
}

QVariantList valores(const std::optional<Condicion> &condicion)
{
    return condicion ? condicion->valores : QVariantList{};
}

} // namespace

CondicionSelector condicionSelector(db::Connection &conexion, const FiltroSelector &filtro)
{
    const ClausulaCampo campo = clausulaCampo(filtro.campo, filtro.operador, filtro.palabras);
    if (!campo.condicion)
        return {std::nullopt, campo.error};
    Condicion condicion = *campo.condicion;
    if (filtro.porGrupo) {
        db::Result r;
        const QVariant sid = conexion.scalar(
            QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {filtro.grupo}, &r);
        if (!r.ok())
            return {std::nullopt, QStringLiteral("No se pudo leer la lista de grupos de la base de datos.")};
        if (sid.isValid())
            condicion = condicion && esMiembro(sid.toLongLong());
    }
    return {condicion, {}};
}

PaginaSelector paginaSelector(db::Connection &conexion, const std::optional<Condicion> &condicion,
                              qint64 posicion)
{
    PaginaSelector p;
    auto fallo = [&p](const db::Result &r) {
        p.ok = false;
        p.error = r.error;
        return p;
    };

    db::Result r;
    p.contactos = conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda") + where(condicion),
                                  valores(condicion), &r)
                      .toLongLong();
    if (!r.ok())
        return fallo(r);
    if (!condicion) {
        p.grupos = conexion.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos"), {}, &r).toLongLong();
        if (!r.ok())
            return fallo(r);
    }

    p.pagina = paginar(p.grupos + p.contactos, posicion, kTamanoSelector, QStringLiteral("Página 1 de 1"));
    const qint64 inicio = p.pagina.posicion * kTamanoSelector;
    qint64 colocados = 0;

    if (p.grupos > inicio) {
        const std::vector<db::Row> grupos =
            conexion.select(QStringLiteral("SELECT sid, nombre FROM Grupos ORDER BY sid LIMIT ? OFFSET ?"),
                            {kTamanoSelector, inicio}, &r);
        if (!r.ok())
            return fallo(r);
        db::Statement contar = conexion.prepare(
            QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE ") + sqlMiembro(), &r);
        if (!r.ok())
            return fallo(r);
        for (const db::Row &g : grupos) {
            contar.reset();
            contar.bind(1, g.value(0).toString());
            const qint64 miembros = contar.next() ? contar.value(0).toLongLong() : 0;
            p.nodos.push_back({QStringLiteral("pGrupo ") + g.value(0).toString(), {},
                               g.value(1).toString() + QStringLiteral(" (") + QString::number(miembros)
                                   + QStringLiteral(" contactos)"),
                               kImagenGrupo});
            ++colocados;
        }
    }

    if (colocados < kTamanoSelector && p.contactos > 0) {
        QVariantList v = valores(condicion);
        v << kTamanoSelector - colocados << qMax<qint64>(0, inicio - p.grupos);
        const std::vector<db::Row> filas = conexion.select(
            QStringLiteral("SELECT ") + QLatin1String(kColumnasContacto) + QStringLiteral(" FROM Agenda")
                + where(condicion) + QStringLiteral(" ORDER BY nombre COLLATE ESPANOL ASC, sid ASC LIMIT ? OFFSET ?"),
            v, &r);
        if (!r.ok())
            return fallo(r);
        for (const db::Row &fila : filas)
            nodosContacto(contactoDeFila(fila), kImagenContacto, kImagenContacto, p.nodos);
    }

    if (p.contactos == 0)
        p.nodos.push_back({QLatin1String(kClaveVacia), {}, QStringLiteral("Sin contactos"), 0});
    return p;
}

QStringList nombresDeGrupos(db::Connection &conexion, db::Result *resultado)
{
    QStringList nombres;
    for (const db::Row &fila :
         conexion.select(QStringLiteral("SELECT nombre FROM Grupos ORDER BY nombre COLLATE ESPANOL ASC, sid ASC"), {}, resultado))
        nombres << fila.value(0).toString();
    return nombres;
}

} // namespace contacts::picker
