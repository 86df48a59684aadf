#include "automation/watched_file.h"

#include "platform/text/cp1252.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <map>
#include <set>
#include <unordered_map>
#include <utility>

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
//
// Which entry is first is found without walking the queue: an entry below kEntradaLlena takes any
// list (whole or cut), one from kEntradaLlena up to the limit only a list short enough to join
// whole, and a longer one nothing more. The open entries of each message are kept by length class,
// each class in queue order, so a line costs a look at a hundred classes at most instead of a walk
// over every entry before it.
class Cola final {
public:
    explicit Cola(QList<Entrada> &entradas) : m_entradas(entradas) {}

    void encolar(const QString &lista, const QString &mensaje)
    {
        Abiertas &abiertas = m_abiertas[mensaje];
        const qsizetype i = primeraQueAdmite(abiertas, lista.size());
        if (i < 0) {
            anadir(abiertas, {lista, mensaje});
            return;
        }
        quitar(abiertas, i);
        Entrada &entrada = m_entradas[i];
        const QString junto = entrada.numeros + QLatin1Char(',') + lista;
        if (junto.size() <= kLimiteEntrada) {
            entrada.numeros = junto;
            poner(abiertas, i);
            return;
        }
        qsizetype coma = junto.indexOf(QLatin1Char(','), kLimiteEntrada - 1);
        // The last number runs across the limit to the end: cut before it instead. The comma that
        // joined the two lists lies before the limit, so there always is one.
        if (coma < 0)
            coma = junto.lastIndexOf(QLatin1Char(','), kLimiteEntrada - 1);
        entrada.numeros = junto.left(coma);
        poner(abiertas, i);
        anadir(abiertas, {junto.mid(coma + 1), mensaje});
    }

private:
    struct Abiertas {
        std::set<qsizetype> cortas;                     // below kEntradaLlena
        std::map<qsizetype, std::set<qsizetype>> llenas; // by length, kEntradaLlena up to the limit
    };

    // The first entry in queue order that takes a list of `largo` characters; -1 when none does.
    qsizetype primeraQueAdmite(const Abiertas &abiertas, qsizetype largo) const
    {
        qsizetype mejor = abiertas.cortas.empty() ? -1 : *abiertas.cortas.begin();
        // Joined whole: the entry, a comma and the list within the limit.
        const qsizetype mayor = kLimiteEntrada - 1 - largo;
        for (auto it = abiertas.llenas.cbegin(); it != abiertas.llenas.cend() && it->first <= mayor; ++it) {
            if (mejor < 0 || *it->second.begin() < mejor)
                mejor = *it->second.begin();
        }
        return mejor;
    }

    void poner(Abiertas &abiertas, qsizetype i)
    {
        const qsizetype n = m_entradas[i].numeros.size();
        if (n < kEntradaLlena)
            abiertas.cortas.insert(i);
        else if (n <= kLimiteEntrada)
            abiertas.llenas[n].insert(i);
        // Longer: it takes nothing more and is forgotten here.
    }

    void quitar(Abiertas &abiertas, qsizetype i)
    {
        const qsizetype n = m_entradas[i].numeros.size();
        if (n < kEntradaLlena)
            abiertas.cortas.erase(i);
        else if (const auto clase = abiertas.llenas.find(n); clase != abiertas.llenas.end()) {
            clase->second.erase(i);
            if (clase->second.empty())
                abiertas.llenas.erase(clase);
        }
    }

    void anadir(Abiertas &abiertas, Entrada entrada)
    {
        m_entradas.append(std::move(entrada));
        poner(abiertas, m_entradas.size() - 1);
    }

    QList<Entrada> &m_entradas;
    std::unordered_map<QString, Abiertas> m_abiertas;
};

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
    Cola cola(lectura.entradas);
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
        cola.encolar(lista.join(QLatin1Char(',')), mensaje);
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
