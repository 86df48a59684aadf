#include "automation/watched_file.h"

#include "platform/text/cp1252.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace automation {
namespace {

bool soloDigitos(const QString &texto)
{
    for (const QChar ch : texto) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return false;
    }
    return !texto.isEmpty();
}

// Adds a line's numbers to the first entry of the same message that can take them, else to a new
// entry at the end. A merged list that runs past the limit is cut at a comma: the entry keeps what
// precedes it and a new entry of the same message takes the rest, so no number is split or lost.
void encolar(QList<Entrada> &cola, const QString &lista, const QString &mensaje)
{
    for (qsizetype i = 0; i < cola.size(); ++i) {
        if (cola[i].mensaje != mensaje)
            continue;
        const QString junto = cola[i].numeros + QLatin1Char(',') + lista;
        if (junto.size() <= kLimiteEntrada) {
            cola[i].numeros = junto;
            return;
        }
        if (cola[i].numeros.size() >= kEntradaLlena)
            continue;
        qsizetype coma = junto.indexOf(QLatin1Char(','), kLimiteEntrada - 1);
        // The last number runs across the limit to the end: cut before it instead. The comma that
        // joined the two lists lies before the limit, so there always is one.
        if (coma < 0)
            coma = junto.lastIndexOf(QLatin1Char(','), kLimiteEntrada - 1);
        cola[i].numeros = junto.left(coma);
        cola.append({junto.mid(coma + 1), mensaje});
        return;
    }
    cola.append({lista, mensaje});
}

} // namespace

QString limpiarNumero(QString pieza)
{
    static const QRegularExpression kSobrantes(QStringLiteral("[-.()+_ ]"));
    pieza.remove(kSobrantes);
    qsizetype ceros = 0;
    while (ceros < pieza.size() && pieza.at(ceros) == QLatin1Char('0'))
        ++ceros;
    pieza.remove(0, ceros);
    // Only digits: the gateway takes nothing else, and "1e9" or "&H1F" are no phone numbers.
    if (!soloDigitos(pieza) || pieza.size() < 7)
        return {};
    if (pieza.size() == 9 && pieza.startsWith(QLatin1Char('6')))
        pieza.prepend(QStringLiteral("34"));
    return pieza;
}

QStringList lineasDelArchivo(const QByteArray &bytes)
{
    QString texto = text::decodeAnsiOrUtf8(bytes);
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lineas = texto.split(QLatin1Char('\n'));
    if (!lineas.isEmpty() && lineas.constLast().isEmpty())
        lineas.removeLast(); // the break that ends the last line starts no new one
    return lineas;
}

Lectura agruparPorMensaje(const QStringList &lineas, const QString &delimitador)
{
    Lectura lectura;
    // Every number queued per message, compared whole: "3460012345" is not "34600123456".
    QHash<QString, QSet<QString>> enCola;

    for (const QString &linea : lineas) {
        if (linea.trimmed().isEmpty())
            continue;
        const qsizetype corte = delimitador.isEmpty() ? -1 : linea.indexOf(delimitador);
        if (corte < 0) {
            lectura.descartes.append({Descarte::Motivo::SinSeparador, linea, {}});
            continue;
        }
        const QString campo = linea.left(corte);
        const QString resto = linea.mid(corte + delimitador.size());
        const qsizetype fin = resto.indexOf(delimitador);
        const QString mensaje = fin < 0 ? resto : resto.left(fin);

        QSet<QString> &yaEnCola = enCola[mensaje];
        QStringList lista;
        QSet<QString> enLista;
        QStringList noValidos;
        bool alguno = false;
        for (const QString &pieza : campo.split(QLatin1Char(','))) {
            const QString numero = limpiarNumero(pieza);
            if (numero.isEmpty()) {
                if (!pieza.trimmed().isEmpty())
                    noValidos.append(pieza.trimmed());
                continue;
            }
            alguno = true;
            if (yaEnCola.contains(numero) || enLista.contains(numero))
                continue;
            enLista.insert(numero);
            lista.append(numero);
        }
        if (!alguno) {
            lectura.descartes.append({Descarte::Motivo::SinNumeros, linea, {}});
            continue;
        }
        for (const QString &pieza : std::as_const(noValidos))
            lectura.descartes.append({Descarte::Motivo::NumeroNoValido, pieza, mensaje});
        if (lista.isEmpty())
            continue;
        yaEnCola.unite(enLista);
        encolar(lectura.entradas, lista.join(QLatin1Char(',')), mensaje);
    }
    return lectura;
}

QString nombreArchivado(const QDateTime &ahora)
{
    return QStringLiteral("enviados_") + ahora.toString(QStringLiteral("yyyy_MM_dd__HH_mm")) + QStringLiteral(".txt");
}

QString rutaArchivado(const QString &archivo, const QDateTime &ahora)
{
    return QFileInfo(archivo).absoluteDir().filePath(nombreArchivado(ahora));
}

QString textoDescarte(const Descarte &descarte)
{
    switch (descarte.motivo) {
    case Descarte::Motivo::SinSeparador:
        return QStringLiteral("Línea sin separador, no enviada: ") + descarte.texto;
    case Descarte::Motivo::SinNumeros:
        return QStringLiteral("Línea sin ningún número de teléfono válido, no enviada: ") + descarte.texto;
    case Descarte::Motivo::NumeroNoValido:
        return QStringLiteral("Número de teléfono no válido, no enviado: ") + descarte.texto
               + QStringLiteral(". Texto del mensaje: ") + descarte.mensaje;
    }
    return {};
}

} // namespace automation
