#include "automation/birthdays/birthday_rules.h"

#include "sending/send_time.h"

#include <QTime>

#include <algorithm>

namespace automation::birthdays {
namespace {

const QString kSeparador = QStringLiteral("||");

QDate enAnio(const QDate &nacimiento, int anio)
{
    const QDate fecha(anio, nacimiento.month(), nacimiento.day());
    // 29 February in a year without it: the last day of February.
    return fecha.isValid() ? fecha : QDate(anio, 2, 28);
}

// A list as it stands while being built: every entry preceded by the separator.
QString prefijada(const QStringList &lista)
{
    QString texto;
    for (const QString &valor : lista)
        texto += kSeparador + valor;
    return texto;
}

qsizetype piezas(const QString &texto)
{
    return texto.split(kSeparador).size();
}

bool todoDigitos(QStringView texto)
{
    return !texto.isEmpty() && std::all_of(texto.begin(), texto.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
}

} // namespace

std::optional<QDate> leerNacimiento(const QString &stored)
{
    // A date with a time part ("1990-03-05 00:00:00") is read by its date.
    const QString fecha = stored.trimmed().section(QLatin1Char(' '), 0, 0);
    for (const QString &formato : {QStringLiteral("yyyy-MM-dd"), QStringLiteral("dd/MM/yyyy"), QStringLiteral("d/M/yyyy")}) {
        const QDate leida = QDate::fromString(fecha, formato);
        if (leida.isValid())
            return leida;
    }
    return std::nullopt;
}

QString mostrarNacimiento(const QDate &nacimiento)
{
    return nacimiento.toString(QStringLiteral("dd/MM/yyyy"));
}

QDate proximoCumpleanos(const QDate &nacimiento, const QDate &hoy)
{
    const QDate esteAnio = enAnio(nacimiento, hoy.year());
    return esteAnio < hoy ? enAnio(nacimiento, hoy.year() + 1) : esteAnio;
}

QString fechaFelicitacion(const QDate &nacimiento, const QDate &hoy, const QString &huso_horario)
{
    // Wall-clock arithmetic: a daylight-saving change never moves the greeting.
    const QDateTime local(proximoCumpleanos(nacimiento, hoy), QTime(12, 0), Qt::UTC);
    return local.addSecs(qint64(sending::desfase_pasarela(huso_horario)) * 60).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString limitePendientes(const QDate &hoy, const QString &huso_horario)
{
    // The same time a birthday of today is given, so the two always compare equal.
    return fechaFelicitacion(hoy, hoy, huso_horario);
}

void ordenarPorCumpleanos(QList<Contacto> &contactos)
{
    std::stable_sort(contactos.begin(), contactos.end(), [](const Contacto &a, const Contacto &b) {
        if (a.nacimiento.month() != b.nacimiento.month())
            return a.nacimiento.month() < b.nacimiento.month();
        return a.nacimiento.day() < b.nacimiento.day();
    });
}

Paginado paginar(int filas, int posicion)
{
    Paginado p;
    if (filas <= 0) {
        p.etiqueta = QStringLiteral("Página 0 de 0");
        return p;
    }
    p.posicion = std::max(0, posicion);
    if (qint64(p.posicion) * kPorPagina > filas && filas > kPorPagina)
        p.posicion = (filas - 1) / kPorPagina;
    p.maximo = (filas - 1) / kPorPagina;
    p.posicion = std::min(p.posicion, p.maximo);
    p.etiqueta = QStringLiteral("Página %1 de %2").arg(p.posicion + 1).arg(p.maximo + 1);
    return p;
}

QList<Nodo> nodosContacto(const Contacto &c)
{
    const QString sid = QString::number(c.sid);
    const QString raiz = QStringLiteral("pContacto ") + sid;
    QList<Nodo> nodos;
    nodos.append({raiz, QString(), c.nombre + QStringLiteral(" (") + mostrarNacimiento(c.nacimiento) + QStringLiteral(")")});
    // A label node under the contact and the value under the label.
    auto detalle = [&](const QString &clave, const QString &titulo, const QString &valor, bool siempre) {
        if (!siempre && valor.isEmpty())
            return;
        const QString etiqueta = QStringLiteral("p") + clave + QLatin1Char(' ') + sid;
        nodos.append({etiqueta, raiz, titulo});
        nodos.append({clave + QLatin1Char(' ') + sid, etiqueta, valor});
    };
    detalle(QStringLiteral("Telefono"), QStringLiteral("Teléfono móvil"), c.telefono, true);
    detalle(QStringLiteral("Nombre"), QStringLiteral("Nombre completo"), c.nombre_completo, false);
    detalle(QStringLiteral("Direccion"), QStringLiteral("Dirección"), c.direccion, false);
    detalle(QStringLiteral("Telefono2"), QStringLiteral("Otro teléfono"), c.telefono_2, false);
    detalle(QStringLiteral("Comentarios"), QStringLiteral("Comentarios"), c.comentario, false);
    detalle(QStringLiteral("FechaNacimiento"), QStringLiteral("Fecha de nacimiento"), mostrarNacimiento(c.nacimiento), true);
    return nodos;
}

std::optional<qint64> sidDeClave(const QString &clave)
{
    if (clave == kClaveVacia)
        return std::nullopt;
    const qsizetype blanco = clave.lastIndexOf(QLatin1Char(' '));
    const QStringView numero = QStringView(clave).sliced(blanco + 1);
    if (!todoDigitos(numero))
        return std::nullopt;
    bool ok = false;
    const qint64 sid = numero.toLongLong(&ok);
    return ok ? std::optional<qint64>(sid) : std::nullopt;
}

ListasFelicitacion construirListas(const QList<Contacto> &contactos, const QDate &hoy, const QString &huso_horario)
{
    ListasFelicitacion l;
    for (const Contacto &c : contactos) {
        l.nombres.append(c.nombre);
        l.telefonos.append(c.telefono);
        l.nombresCompletos.append(c.nombre_completo);
        l.direcciones.append(c.direccion);
        l.otrosTelefonos.append(c.telefono_2);
        l.comentarios.append(c.comentario);
        l.fechas.append(fechaFelicitacion(c.nacimiento, hoy, huso_horario));
    }
    return l;
}

QString textoParaFormulario(const QString &plantilla)
{
    QString texto = plantilla;
    texto.replace(QStringLiteral("_CONFIRMAR]"), QStringLiteral("]"));
    return texto;
}

bool datosSuficientes(const ListasFelicitacion &listas, const QString &plantilla, bool comprobarNombre)
{
    const QString nombres = prefijada(listas.nombres);
    const struct {
        const char *clave;
        const QStringList &lista;
    } palabras[] = {
        {"[NOMBRE]", listas.nombres},
        {"[NOMBRE_COMPLETO]", listas.nombresCompletos},
        {"[DIRECCION]", listas.direcciones},
        {"[OTRO_TELEFONO]", listas.otrosTelefonos},
        {"[COMENTARIOS]", listas.comentarios},
    };
    for (const auto &palabra : palabras) {
        if (!comprobarNombre && &palabra.lista == &listas.nombres)
            continue;
        if (!plantilla.contains(QLatin1String(palabra.clave)))
            continue;
        const QString lista = prefijada(palabra.lista);
        if (!lista.contains(kSeparador) || piezas(lista) != piezas(nombres))
            return false;
    }
    return piezas(prefijada(listas.fechas)) == piezas(nombres);
}

bool creditoSuficiente(double saldo, int felicitaciones)
{
    return saldo > double(felicitaciones);
}

QList<CampoFormulario> camposFormulario(const ListasFelicitacion &l, const QString &mensaje, const Cuenta &cuenta,
                                        const QString &remitente)
{
    const QString ruta = cuenta.ruta == QStringLiteral("0") ? QStringLiteral("3") : cuenta.ruta;
    return {
        {QStringLiteral("mensaje"), mensaje},
        {QStringLiteral("username"), cuenta.login},
        {QStringLiteral("password"), cuenta.pass},
        {QStringLiteral("remitente"), remitente},
        {QStringLiteral("ruta"), ruta},
        {QStringLiteral("nombre"), l.nombres.join(kSeparador)},
        {QStringLiteral("destino"), l.telefonos.join(QLatin1Char(','))},
        {QStringLiteral("telefono"), l.telefonos.join(kSeparador)},
        {QStringLiteral("nombre_completo"), l.nombresCompletos.join(kSeparador)},
        {QStringLiteral("direccion"), l.direcciones.join(kSeparador)},
        {QStringLiteral("otro_telefono"), l.otrosTelefonos.join(kSeparador)},
        {QStringLiteral("comentarios"), l.comentarios.join(kSeparador)},
        {QStringLiteral("fecha"), l.fechas.join(kSeparador)},
    };
}

QStringList camposNecesarios()
{
    return {QStringLiteral("mensaje"),         QStringLiteral("username"),  QStringLiteral("password"),
            QStringLiteral("remitente"),       QStringLiteral("ruta"),      QStringLiteral("nombre"),
            QStringLiteral("destino"),         QStringLiteral("telefono"),  QStringLiteral("nombre_completo"),
            QStringLiteral("direccion"),       QStringLiteral("otro_telefono"), QStringLiteral("comentarios"),
            QStringLiteral("fecha")};
}

ResultadoEnvio interpretarResultado(const QString &texto, int destinatarios, bool sinTelefonos, bool plantillaVacia)
{
    ResultadoEnvio r;
    const qsizetype primera = texto.indexOf(QLatin1Char('|'));
    if (primera < 0) {
        r.mensaje = kMensajeSinRespuesta;
        return r;
    }
    if (!texto.contains(QStringLiteral("IN_PROGRESS"))) {
        r.tipo = ResultadoEnvio::Tipo::Rechazado;
        // The phrase follows the one-digit code; a refusal without a closing "|" runs to the end.
        const qsizetype siguiente = texto.indexOf(QLatin1Char('|'), std::max<qsizetype>(2, primera + 1));
        const QString frase = siguiente < 0 ? texto.mid(primera + 1) : texto.mid(primera + 1, siguiente - primera - 1);
        if (frase != QStringLiteral("Required parameters missing"))
            r.mensaje = frase;
        else if (sinTelefonos)
            r.mensaje = QStringLiteral("Por favor, seleccione destinatarios válidos");
        else if (plantillaVacia)
            r.mensaje = QStringLiteral("Por favor, escriba una plantilla con texto válido antes de enviar el mensaje.");
        else
            r.mensaje = QStringLiteral("El envío no ha sido realizado por falta de parámetros requeridos.");
        return r;
    }
    // The last recipient's identifier follows the "|" after the word; the others count back.
    const qsizetype barra = texto.indexOf(QLatin1Char('|'), 5);
    const QString numero = barra < 0 ? QString() : texto.mid(barra + 1).trimmed();
    bool ok = todoDigitos(numero);
    const qint64 ultimo = ok ? numero.toLongLong(&ok) : 0;
    if (!ok || destinatarios <= 0 || ultimo - (destinatarios - 1) < 1) {
        r.tipo = ResultadoEnvio::Tipo::Ilegible;
        r.mensaje = QStringLiteral(
            "La pasarela ha aceptado el envío pero su respuesta no indica los identificadores de los envíos. "
            "Compruebe los envíos programados en su cuenta web antes de volver a enviar las felicitaciones.");
        return r;
    }
    r.tipo = ResultadoEnvio::Tipo::Programado;
    for (int i = 0; i < destinatarios; ++i)
        r.identificadores.append(ultimo - (destinatarios - 1) + i);
    return r;
}

} // namespace automation::birthdays
