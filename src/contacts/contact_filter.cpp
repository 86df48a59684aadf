#include "contacts/contact_filter.h"

#include "contacts/birth_date.h"
#include "contacts/group_list.h"
#include "platform/db/connection.h"

namespace contacts {

namespace {

const char *const kColumnas[] = {"nombre", "telefono", "nombre_completo", "direccion", "telefono_2", "comentario",
                                 "f_nacimiento"};

// The birth date compared as text reads as the user sees it, day first: "23/10/1984".
// Only a stored yyyy-MM-dd is turned round; any other text is compared as it stands.
const QString kFechaComoTexto = QStringLiteral(
    "(CASE WHEN f_nacimiento GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' THEN substr(f_nacimiento,9,2) || '/' || "
    "substr(f_nacimiento,6,2) || '/' || substr(f_nacimiento,1,4) ELSE f_nacimiento END)");

Campo campoDe(int indice)
{
    if (indice < 0 || indice > int(Campo::FechaNacimiento))
        return Campo::Nombre;
    return Campo(indice);
}

Operador operadorDe(int indice)
{
    if (indice < 0 || indice > int(Operador::MenorQue))
        return Operador::Contengan;
    return Operador(indice);
}

bool esComparacion(Operador op)
{
    return op == Operador::MayorQue || op == Operador::MenorQue;
}

QString columnaDe(Campo campo, Operador op)
{
    if (campo == Campo::FechaNacimiento && !esComparacion(op))
        return kFechaComoTexto;
    return QString::fromLatin1(kColumnas[int(campo)]);
}

// "telefono IN (...)": each number of the comma list, blanks removed, matched as a whole.
Condicion listaTelefonos(const QString &palabras)
{
    QString limpio = palabras;
    limpio.remove(QLatin1Char(' '));
    const QStringList numeros = limpio.split(QLatin1Char(','));
    Condicion c;
    if (numeros.size() > kMaxValoresIn) {
        c.sql = QStringLiteral("instr(',' || ? || ',', ',' || telefono || ',') > 0 ");
        c.valores = {limpio};
        return c;
    }
    QStringList marcas;
    for (const QString &numero : numeros) {
        marcas << QStringLiteral("?");
        c.valores << numero;
    }
    c.sql = QStringLiteral("telefono IN (") + marcas.join(QLatin1Char(',')) + QStringLiteral(") ");
    return c;
}

} // namespace

QStringList operadoresFiltro()
{
    return {QStringLiteral("contengan"),    QStringLiteral("coincidan"),    QStringLiteral("empiecen"),
            QStringLiteral("acaben"),       QStringLiteral("no contengan"), QStringLiteral("no coincidan"),
            QStringLiteral("no empiecen"),  QStringLiteral("no acaben"),    QStringLiteral("mayor que"),
            QStringLiteral("menor que")};
}

QStringList camposFiltro()
{
    return {QStringLiteral("nombre"),        QStringLiteral("teléfono"),   QStringLiteral("nombre completo"),
            QStringLiteral("dirección"),     QStringLiteral("otro teléfono"), QStringLiteral("comentario"),
            QStringLiteral("fecha de nacimiento")};
}

QString comparacion(const QString &columna, Operador op, bool comoTexto)
{
    const QString plegada = QStringLiteral("fold(") + columna + QStringLiteral(")");
    const QString orden = comoTexto ? QStringLiteral(" COLLATE ESPANOL ") : QStringLiteral(" ");
    switch (op) {
    case Operador::Contengan:
        return plegada + QStringLiteral(" LIKE '%' || fold(?) || '%' ");
    case Operador::Coincidan:
        return columna + QStringLiteral(" = ?") + orden;
    case Operador::Empiecen:
        return plegada + QStringLiteral(" LIKE fold(?) || '%' ");
    case Operador::Acaben:
        return plegada + QStringLiteral(" LIKE '%' || fold(?) ");
    case Operador::NoContengan:
        return plegada + QStringLiteral(" NOT LIKE '%' || fold(?) || '%' ");
    case Operador::NoCoincidan:
        return columna + QStringLiteral(" <> ?") + orden;
    case Operador::NoEmpiecen:
        return plegada + QStringLiteral(" NOT LIKE fold(?) || '%' ");
    case Operador::NoAcaben:
        return plegada + QStringLiteral(" NOT LIKE '%' || fold(?) ");
    case Operador::MayorQue:
        return columna + QStringLiteral(" > ?") + orden;
    case Operador::MenorQue:
        return columna + QStringLiteral(" < ?") + orden;
    }
    return columna + QStringLiteral(" = ?") + orden;
}

ResultadoFiltro condicionFiltro(int campoIndice, int operadorIndice, const QString &w, std::optional<qint64> grupo)
{
    const Campo campo = campoDe(campoIndice);
    const Operador op = operadorDe(operadorIndice);
    const QString col = columnaDe(campo, op);
    ResultadoFiltro r;
    Condicion &c = r.condicion;

    if (w.isEmpty()) {
        switch (op) {
        case Operador::NoContengan:
        case Operador::NoCoincidan:
        case Operador::NoEmpiecen:
        case Operador::NoAcaben:
        case Operador::MenorQue:
            c.sql = col + QStringLiteral(" = '' ");
            break;
        default:
            c.sql = QStringLiteral("length(") + col + QStringLiteral(") > 0 ");
            break;
        }
    } else if (campo == Campo::FechaNacimiento && esComparacion(op)) {
        const std::optional<QDate> fecha = fechaDeTexto(w);
        if (!fecha) {
            r.estado = ResultadoFiltro::Estado::FechaInvalida;
            r.mensaje = QString::fromUtf8(kFechaFiltroInvalida);
            return r;
        }
        c.sql = comparacion(col, op, false);
        c.valores = {fechaAlmacenada(*fecha)};
    } else {
        if (op == Operador::Coincidan && campo == Campo::Telefono && w.contains(QLatin1Char(',')))
            c = listaTelefonos(w);
        else
            c = {comparacion(col, op), {w}};
    }

    if (grupo) {
        c.sql = QStringLiteral("(") + c.sql + QStringLiteral(" AND ") + condicionMiembro() + QStringLiteral(") ");
        c.valores << QString::number(*grupo);
    }
    return r;
}

std::optional<qint64> sidDeGrupo(db::Connection &conexion, const QString &nombre)
{
    const QVariant sid =
        conexion.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ? COLLATE ESPANOL ORDER BY sid LIMIT 1"), {nombre});
    if (!sid.isValid())
        return std::nullopt;
    return sid.toLongLong();
}

ResultadoFiltro f_filtrar_agenda(db::Connection &conexion, const FiltroContactos &filtro)
{
    std::optional<qint64> grupo;
    if (filtro.miembros)
        grupo = sidDeGrupo(conexion, filtro.grupo);
    return condicionFiltro(filtro.campo, filtro.operador, filtro.palabras, grupo);
}

} // namespace contacts
