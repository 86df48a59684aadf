#include "automation/birthdays/birthday_rules.h"

#include "sending/send_time.h"

#include <QTime>

#include <algorithm>

namespace automation::birthdays {
namespace {

const QString kSeparator = QStringLiteral("||");

QDate inYear(const QDate &birthDate, int year)
{
    const QDate date(year, birthDate.month(), birthDate.day());
    // 29 February in a year without it: the last day of February.
    return date.isValid() ? date : QDate(year, 2, 28);
}

// A list as it stands while being built: every entry preceded by the separator.
QString prefixed(const QStringList &list)
{
    QString text;
    for (const QString &value : list)
        text += kSeparator + value;
    return text;
}

qsizetype partCount(const QString &text)
{
    return text.split(kSeparator).size();
}

bool allDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
}

} // namespace

std::optional<QDate> leerNacimiento(const QString &stored)
{
    // A date with a time part ("1990-03-05 00:00:00") is read by its date.
    const QString date = stored.trimmed().section(QLatin1Char(' '), 0, 0);
    for (const QString &format : {QStringLiteral("yyyy-MM-dd"), QStringLiteral("dd/MM/yyyy"), QStringLiteral("d/M/yyyy")}) {
        const QDate parsed = QDate::fromString(date, format);
        if (parsed.isValid())
            return parsed;
    }
    return std::nullopt;
}

QString mostrarNacimiento(const QDate &birthDate)
{
    return birthDate.toString(QStringLiteral("dd/MM/yyyy"));
}

QDate proximoCumpleanos(const QDate &birthDate, const QDate &today)
{
    const QDate thisYear = inYear(birthDate, today.year());
    return thisYear < today ? inYear(birthDate, today.year() + 1) : thisYear;
}

QString fechaFelicitacion(const QDate &birthDate, const QDate &today, const QString &timeZone)
{
    // Wall-clock arithmetic: a daylight-saving change never moves the greeting.
    const QDateTime local(proximoCumpleanos(birthDate, today), QTime(12, 0), Qt::UTC);
    return local.addSecs(qint64(sending::desfase_pasarela(timeZone)) * 60).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString limitePendientes(const QDate &today, const QString &timeZone)
{
    // The same time a birthday of today is given, so the two always compare equal.
    return fechaFelicitacion(today, today, timeZone);
}

void ordenarPorCumpleanos(QList<Contacto> &contacts)
{
    std::stable_sort(contacts.begin(), contacts.end(), [](const Contacto &a, const Contacto &b) {
        if (a.nacimiento.month() != b.nacimiento.month())
            return a.nacimiento.month() < b.nacimiento.month();
        return a.nacimiento.day() < b.nacimiento.day();
    });
}

Paginado paginar(int rows, int position)
{
    Paginado p;
    if (rows <= 0) {
        p.etiqueta = QStringLiteral("Página 0 de 0");
        return p;
    }
    p.posicion = std::max(0, position);
    if (qint64(p.posicion) * kPorPagina > rows && rows > kPorPagina)
        p.posicion = (rows - 1) / kPorPagina;
    p.maximo = (rows - 1) / kPorPagina;
    p.posicion = std::min(p.posicion, p.maximo);
    p.etiqueta = QStringLiteral("Página %1 de %2").arg(p.posicion + 1).arg(p.maximo + 1);
    return p;
}

QList<Nodo> nodosContacto(const Contacto &c)
{
    const QString sid = QString::number(c.sid);
    const QString root = QStringLiteral("pContacto ") + sid;
    QList<Nodo> nodes;
    nodes.append({root, QString(), c.nombre + QStringLiteral(" (") + mostrarNacimiento(c.nacimiento) + QStringLiteral(")")});
    // A label node under the contact and the value under the label.
    auto addDetail = [&](const QString &key, const QString &title, const QString &value, bool always) {
        if (!always && value.isEmpty())
            return;
        const QString labelKey = QStringLiteral("p") + key + QLatin1Char(' ') + sid;
        nodes.append({labelKey, root, title});
        nodes.append({key + QLatin1Char(' ') + sid, labelKey, value});
    };
    addDetail(QStringLiteral("Telefono"), QStringLiteral("Teléfono móvil"), c.telefono, true);
    addDetail(QStringLiteral("Nombre"), QStringLiteral("Nombre completo"), c.nombre_completo, false);
    addDetail(QStringLiteral("Direccion"), QStringLiteral("Dirección"), c.direccion, false);
    addDetail(QStringLiteral("Telefono2"), QStringLiteral("Otro teléfono"), c.telefono_2, false);
    addDetail(QStringLiteral("Comentarios"), QStringLiteral("Comentarios"), c.comentario, false);
    addDetail(QStringLiteral("FechaNacimiento"), QStringLiteral("Fecha de nacimiento"), mostrarNacimiento(c.nacimiento), true);
    return nodes;
}

std::optional<qint64> sidDeClave(const QString &key)
{
    if (key == kClaveVacia)
        return std::nullopt;
    const qsizetype space = key.lastIndexOf(QLatin1Char(' '));
    const QStringView number = QStringView(key).sliced(space + 1);
    if (!allDigits(number))
        return std::nullopt;
    bool ok = false;
    const qint64 sid = number.toLongLong(&ok);
    return ok ? std::optional<qint64>(sid) : std::nullopt;
}

ListasFelicitacion construirListas(const QList<Contacto> &contacts, const QDate &today, const QString &timeZone)
{
    ListasFelicitacion l;
    for (const Contacto &c : contacts) {
        l.nombres.append(c.nombre);
        l.telefonos.append(c.telefono);
        l.nombresCompletos.append(c.nombre_completo);
        l.direcciones.append(c.direccion);
        l.otrosTelefonos.append(c.telefono_2);
        l.comentarios.append(c.comentario);
        l.fechas.append(fechaFelicitacion(c.nacimiento, today, timeZone));
    }
    return l;
}

QString textoParaFormulario(const QString &templateBody)
{
    QString text = templateBody;
    text.replace(QStringLiteral("_CONFIRMAR]"), QStringLiteral("]"));
    return text;
}

bool datosSuficientes(const ListasFelicitacion &lists, const QString &templateBody, bool checkName)
{
    const QString names = prefixed(lists.nombres);
    const struct {
        const char *key;
        const QStringList &list;
    } keywords[] = {
        {"[NOMBRE]", lists.nombres},
        {"[NOMBRE_COMPLETO]", lists.nombresCompletos},
        {"[DIRECCION]", lists.direcciones},
        {"[OTRO_TELEFONO]", lists.otrosTelefonos},
        {"[COMENTARIOS]", lists.comentarios},
    };
    for (const auto &keyword : keywords) {
        if (!checkName && &keyword.list == &lists.nombres)
            continue;
        if (!templateBody.contains(QLatin1String(keyword.key)))
            continue;
        const QString list = prefixed(keyword.list);
        if (!list.contains(kSeparator) || partCount(list) != partCount(names))
            return false;
    }
    return partCount(prefixed(lists.fechas)) == partCount(names);
}

bool creditoSuficiente(double balance, int greetings)
{
    return balance > double(greetings);
}

QList<CampoFormulario> camposFormulario(const ListasFelicitacion &l, const QString &message, const Cuenta &account,
                                        const QString &sender)
{
    const QString route = account.ruta == QStringLiteral("0") ? QStringLiteral("3") : account.ruta;
    return {
        {QStringLiteral("mensaje"), message},
        {QStringLiteral("username"), account.login},
        {QStringLiteral("password"), account.pass},
        {QStringLiteral("remitente"), sender},
        {QStringLiteral("ruta"), route},
        {QStringLiteral("nombre"), l.nombres.join(kSeparator)},
        {QStringLiteral("destino"), l.telefonos.join(QLatin1Char(','))},
        {QStringLiteral("telefono"), l.telefonos.join(kSeparator)},
        {QStringLiteral("nombre_completo"), l.nombresCompletos.join(kSeparator)},
        {QStringLiteral("direccion"), l.direcciones.join(kSeparator)},
        {QStringLiteral("otro_telefono"), l.otrosTelefonos.join(kSeparator)},
        {QStringLiteral("comentarios"), l.comentarios.join(kSeparator)},
        {QStringLiteral("fecha"), l.fechas.join(kSeparator)},
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

ResultadoEnvio interpretarResultado(const QString &text, int recipients, bool noPhones, bool emptyTemplate)
{
    ResultadoEnvio r;
    const qsizetype firstBar = text.indexOf(QLatin1Char('|'));
    if (firstBar < 0) {
        r.mensaje = kMensajeSinRespuesta;
        return r;
    }
    if (!text.contains(QStringLiteral("IN_PROGRESS"))) {
        r.tipo = ResultadoEnvio::Kind::Rechazado;
        // The phrase follows the one-digit code; a refusal without a closing "|" runs to the end.
        const qsizetype nextBar = text.indexOf(QLatin1Char('|'), std::max<qsizetype>(2, firstBar + 1));
        const QString phrase = nextBar < 0 ? text.mid(firstBar + 1) : text.mid(firstBar + 1, nextBar - firstBar - 1);
        if (phrase != QStringLiteral("Required parameters missing"))
            r.mensaje = phrase;
        else if (noPhones)
            r.mensaje = QStringLiteral("Por favor, seleccione destinatarios válidos");
        else if (emptyTemplate)
            r.mensaje = QStringLiteral("Por favor, escriba una plantilla con texto válido antes de enviar el mensaje.");
        else
            r.mensaje = QStringLiteral("El envío no ha sido realizado por falta de parámetros requeridos.");
        return r;
    }
    // The last recipient's identifier follows the "|" after the word; the others count back.
    const qsizetype bar = text.indexOf(QLatin1Char('|'), 5);
    const QString number = bar < 0 ? QString() : text.mid(bar + 1).trimmed();
    bool ok = allDigits(number);
    const qint64 last = ok ? number.toLongLong(&ok) : 0;
    if (!ok || recipients <= 0 || last - (recipients - 1) < 1) {
        r.tipo = ResultadoEnvio::Kind::Ilegible;
        r.mensaje = QStringLiteral(
            "La pasarela ha aceptado el envío pero su respuesta no indica los identificadores de los envíos. "
            "Compruebe los envíos programados en su cuenta web antes de volver a enviar las felicitaciones.");
        return r;
    }
    r.tipo = ResultadoEnvio::Kind::Programado;
    for (int i = 0; i < recipients; ++i)
        r.identificadores.append(last - (recipients - 1) + i);
    return r;
}

} // namespace automation::birthdays
