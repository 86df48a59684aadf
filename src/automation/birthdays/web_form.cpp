#include "automation/birthdays/web_form.h"

#include "platform/text/cp1252.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace automation::birthdays {
namespace {

using GumboPtr = std::unique_ptr<GumboOutput, void (*)(GumboOutput *)>;

void destruir(GumboOutput *output)
{
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}

QString atributo(const GumboElement &e, const char *nombre)
{
    const GumboAttribute *a = gumbo_get_attribute(&e.attributes, nombre);
    return a ? QString::fromUtf8(a->value) : QString();
}

bool tieneAtributo(const GumboElement &e, const char *nombre)
{
    return gumbo_get_attribute(&e.attributes, nombre) != nullptr;
}

const GumboVector *hijosDe(const GumboNode *nodo)
{
    if (nodo->type == GUMBO_NODE_ELEMENT)
        return &nodo->v.element.children;
    if (nodo->type == GUMBO_NODE_DOCUMENT)
        return &nodo->v.document.children;
    return nullptr;
}

enum class Paso { Entrar, Saltar, Parar };

// Visits `raiz` and everything under it in document order without recursion (a page may nest
// as deep as it likes). `entrar` decides whether a node's children are visited; `salir`, when
// given, runs after an element's children were.
template <typename Entrar, typename Salir>
void recorrer(const GumboNode *raiz, Entrar &&entrar, Salir &&salir)
{
    struct Marco {
        const GumboNode *nodo;
        unsigned siguiente;
    };
    std::vector<Marco> pila;
    const auto visitar = [&](const GumboNode *nodo) {
        const Paso paso = entrar(nodo);
        if (paso == Paso::Entrar && hijosDe(nodo))
            pila.push_back({nodo, 0});
        return paso != Paso::Parar;
    };
    if (!visitar(raiz))
        return;
    while (!pila.empty()) {
        Marco &marco = pila.back();
        const GumboVector &hijos = *hijosDe(marco.nodo);
        if (marco.siguiente >= hijos.length) {
            const GumboNode *hecho = marco.nodo;
            pila.pop_back();
            salir(hecho);
            continue;
        }
        const auto *hijo = static_cast<const GumboNode *>(hijos.data[marco.siguiente++]);
        if (!visitar(hijo))
            return;
    }
}

template <typename Entrar>
void recorrer(const GumboNode *raiz, Entrar &&entrar)
{
    recorrer(raiz, std::forward<Entrar>(entrar), [](const GumboNode *) {});
}

bool esElemento(const GumboNode *nodo)
{
    return nodo->type == GUMBO_NODE_ELEMENT;
}

const GumboNode *buscar(const GumboNode *raiz, GumboTag tag)
{
    const GumboNode *hallado = nullptr;
    recorrer(raiz, [&](const GumboNode *nodo) {
        if (esElemento(nodo) && nodo->v.element.tag == tag) {
            hallado = nodo;
            return Paso::Parar;
        }
        return Paso::Entrar;
    });
    return hallado;
}

// The visible text under `raiz`: texts in document order, a blank after every element.
QString textoPlano(const GumboNode *raiz)
{
    QString salida;
    recorrer(
        raiz,
        [&](const GumboNode *nodo) {
            if (nodo->type == GUMBO_NODE_TEXT || nodo->type == GUMBO_NODE_CDATA || nodo->type == GUMBO_NODE_WHITESPACE) {
                salida += QString::fromUtf8(nodo->v.text.text);
                return Paso::Saltar;
            }
            if (nodo->type != GUMBO_NODE_ELEMENT)
                return Paso::Saltar;
            const GumboTag tag = nodo->v.element.tag;
            if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TEMPLATE || tag == GUMBO_TAG_NOSCRIPT)
                return Paso::Saltar;
            return Paso::Entrar;
        },
        [&](const GumboNode *) { salida += QLatin1Char(' '); });
    return salida;
}

// A select's value: its (last) selected option, else its first, else "".
QString valorSelect(const GumboNode *select)
{
    QString primero;
    QString elegido;
    bool hayPrimero = false;
    bool hayElegido = false;
    recorrer(select, [&](const GumboNode *n) {
        if (n->type != GUMBO_NODE_ELEMENT)
            return Paso::Saltar;
        if (n->v.element.tag != GUMBO_TAG_OPTION)
            return Paso::Entrar;
        const QString valor = tieneAtributo(n->v.element, "value") ? atributo(n->v.element, "value")
                                                                 : textoPlano(n).simplified();
        if (!hayPrimero) {
            primero = valor;
            hayPrimero = true;
        }
        if (tieneAtributo(n->v.element, "selected")) {
            elegido = valor;
            hayElegido = true;
        }
        return Paso::Saltar;
    });
    return hayElegido ? elegido : primero;
}

void recogerControles(const GumboNode *form, QList<ControlHtml> &controles)
{
    recorrer(form, [&](const GumboNode *nodo) {
        if (nodo->type != GUMBO_NODE_ELEMENT)
            return Paso::Saltar;
        const GumboElement &e = nodo->v.element;
        ControlHtml c;
        switch (e.tag) {
        case GUMBO_TAG_INPUT:
            c.tipo = tieneAtributo(e, "type") ? atributo(e, "type").toLower() : QStringLiteral("text");
            c.valor = atributo(e, "value");
            c.marcado = tieneAtributo(e, "checked");
            break;
        case GUMBO_TAG_TEXTAREA:
            c.tipo = QStringLiteral("textarea");
            c.valor = textoPlano(nodo).chopped(1);
            break;
        case GUMBO_TAG_SELECT:
            c.tipo = QStringLiteral("select");
            c.valor = valorSelect(nodo);
            break;
        case GUMBO_TAG_BUTTON:
            c.tipo = tieneAtributo(e, "type") ? atributo(e, "type").toLower() : QStringLiteral("submit");
            c.valor = atributo(e, "value");
            break;
        default:
            return Paso::Entrar;
        }
        c.nombre = atributo(e, "name");
        c.desactivado = tieneAtributo(e, "disabled");
        controles.append(c);
        return e.tag == GUMBO_TAG_SELECT || e.tag == GUMBO_TAG_TEXTAREA ? Paso::Saltar : Paso::Entrar;
    });
}

// The body's source between its own tags, as written in the page (the offsets are the parser's,
// into the UTF-8 bytes it was given).
QString fuenteCuerpo(const QByteArray &utf8, const GumboNode *body)
{
    if (!body || body->v.element.original_tag.length == 0)
        return QString::fromUtf8(utf8);
    const GumboElement &e = body->v.element;
    const qsizetype inicio = qsizetype(e.start_pos.offset) + qsizetype(e.original_tag.length);
    qsizetype fin = utf8.size();
    if (e.original_end_tag.length > 0)
        fin = qsizetype(e.end_pos.offset);
    if (inicio < 0 || inicio > utf8.size() || fin < inicio || fin > utf8.size())
        return QString();
    return QString::fromUtf8(utf8.mid(inicio, fin - inicio));
}

// How deep a page nests its elements, estimated before the parser sees it: the parser's time
// grows with the square of the nesting, and a page of a few hundred kilobytes of unclosed tags
// would hold the window for minutes. The estimate follows the tree builder's main rules (end
// tags close up to their element unless a scope boundary stands between, the elements that close
// themselves, paragraphs closed by blocks, formatting elements that come back after being closed
// by someone else's end tag), and where it is unsure it counts deeper, never shallower.
class Anidamiento final {
public:
    explicit Anidamiento(int limite) : m_limite(limite) {}

    // False as soon as the nesting passes the limit.
    bool leer(std::string_view html)
    {
        size_t i = 0;
        const size_t n = html.size();
        while (i < n) {
            const size_t menor = html.find('<', i);
            if (menor == std::string_view::npos || menor + 1 >= n)
                break;
            i = menor + 1;
            const char c = html[i];
            if (c == '!') {
                if (html.substr(i, 3) == "!--") {
                    i = finDeComentario(html, i + 3);
                } else {
                    i = hasta(html, i, '>');
                }
                continue;
            }
            if (c == '?') {
                i = hasta(html, i, '>');
                continue;
            }
            const bool cierre = c == '/';
            if (cierre)
                ++i;
            if (i >= n || !esLetra(html[i]))
                continue;
            const size_t inicioNombre = i;
            while (i < n && !esBlanco(html[i]) && html[i] != '/' && html[i] != '>')
                ++i;
            std::string nombre(html.substr(inicioNombre, i - inicioNombre));
            for (char &ch : nombre)
                ch = char(std::tolower(static_cast<unsigned char>(ch)));
            i = finDeEtiqueta(html, i);
            if (cierre) {
                cerrar(nombre);
                continue;
            }
            if (!abrir(nombre))
                return false;
            // The contents of these are text to the parser, whatever they look like; inside SVG or
            // MathML they are ordinary elements (a <title> there holds markup).
            if (!m_ajeno && esTextoCrudo(nombre)) {
                if (nombre == "plaintext")
                    break;
                i = finDeTextoCrudo(html, i, nombre);
                m_pila.pop_back();
            }
        }
        return true;
    }

private:
    static bool esLetra(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool esBlanco(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

    static size_t hasta(std::string_view html, size_t i, char c)
    {
        const size_t fin = html.find(c, i);
        return fin == std::string_view::npos ? html.size() : fin + 1;
    }

    // Past the end of a comment whose text starts at `i`: "<!-->" and "<!--->" end at once, others
    // at the first "-->" or "--!>", an unended one with the page.
    static size_t finDeComentario(std::string_view html, size_t i)
    {
        if (html.substr(i, 1) == ">")
            return i + 1;
        if (html.substr(i, 2) == "->")
            return i + 2;
        const size_t fin = html.find("--", i);
        for (size_t at = fin; at != std::string_view::npos; at = html.find("--", at + 1)) {
            if (html.substr(at, 3) == "-->")
                return at + 3;
            if (html.substr(at, 4) == "--!>")
                return at + 4;
        }
        return html.size();
    }

    // Past the tag's closing ">", attribute values in quotes skipped whole.
    static size_t finDeEtiqueta(std::string_view html, size_t i)
    {
        const size_t n = html.size();
        while (i < n && html[i] != '>') {
            if (html[i] == '=') {
                ++i;
                while (i < n && esBlanco(html[i]))
                    ++i;
                if (i < n && (html[i] == '"' || html[i] == '\'')) {
                    i = hasta(html, i + 1, html[i]);
                    continue;
                }
            }
            ++i;
        }
        return i < n ? i + 1 : n;
    }

    static size_t finDeTextoCrudo(std::string_view html, size_t i, const std::string &nombre)
    {
        const size_t n = html.size();
        while (i < n) {
            const size_t menor = html.find("</", i);
            if (menor == std::string_view::npos)
                return n;
            i = menor + 2;
            if (i + nombre.size() > n)
                return n;
            bool igual = true;
            for (size_t k = 0; k < nombre.size() && igual; ++k)
                igual = std::tolower(static_cast<unsigned char>(html[i + k])) == nombre[k];
            if (igual)
                return finDeEtiqueta(html, i + nombre.size());
        }
        return n;
    }

    static bool en(std::string_view nombre, std::initializer_list<std::string_view> lista)
    {
        return std::find(lista.begin(), lista.end(), nombre) != lista.end();
    }
    static bool esVacio(std::string_view t)
    {
        return en(t, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "image", "img",
                      "input", "keygen", "link", "meta", "param", "source", "track", "wbr"});
    }
    static bool esTextoCrudo(std::string_view t)
    {
        return en(t, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes", "plaintext"});
    }
    static bool esFormato(std::string_view t)
    {
        return en(t, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"});
    }
    static bool esFrontera(std::string_view t)
    {
        return en(t, {"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template", "svg", "math",
                      "foreignobject", "desc", "mi", "mo", "mn", "ms", "mtext", "annotation-xml"});
    }
    static bool cierraParrafo(std::string_view t)
    {
        return en(t, {"address", "article", "aside", "blockquote", "center", "details", "dialog", "dir", "div", "dl",
                      "fieldset", "figcaption", "figure", "footer", "header", "hgroup", "main", "menu", "nav", "ol",
                      "p", "section", "summary", "ul", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "listing", "form"});
    }

    // Where the nearest open `nombres` stands, searching down from the top and giving up at the
    // first element `frontera` names; -1 when not found.
    template <typename Frontera>
    long buscar(std::initializer_list<std::string_view> nombres, Frontera &&frontera) const
    {
        for (long k = long(m_pila.size()) - 1; k >= 0; --k) {
            const std::string &t = m_pila[size_t(k)];
            if (en(t, nombres))
                return k;
            if (frontera(t))
                return -1;
        }
        return -1;
    }

    // Closes everything from `k` up. Formatting elements closed by someone else's tag may come
    // back later (the parser reopens them), so they still count.
    void cerrarDesde(long k)
    {
        for (size_t j = size_t(k) + 1; j < m_pila.size(); ++j)
            m_reabribles += esFormato(m_pila[j]) ? 1 : 0;
        m_pila.resize(size_t(k));
    }

    bool enContenidoAjeno() const
    {
        return std::any_of(m_pila.begin(), m_pila.end(), [](const std::string &t) { return t == "svg" || t == "math"; });
    }

    bool abrir(const std::string &t)
    {
        if (esVacio(t))
            return true;
        const auto tabla = [](std::string_view x) { return en(x, {"html", "table", "template"}); };
        if (!m_ajeno) {
            if (cierraParrafo(t)) {
                if (const long k = buscar({"p"}, [](std::string_view x) { return esFrontera(x) || x == "button"; }); k >= 0)
                    cerrarDesde(k);
            }
            const auto especial = [](std::string_view x) {
                return esFrontera(x) || (!esFormato(x) && !en(x, {"address", "div", "p", "span", "label", "font"}));
            };
            if (t == "li") {
                if (const long k = buscar({"li"}, especial); k >= 0)
                    cerrarDesde(k);
            } else if (t == "dd" || t == "dt") {
                if (const long k = buscar({"dd", "dt"}, especial); k >= 0)
                    cerrarDesde(k);
            } else if (t == "option" || t == "optgroup") {
                if (!m_pila.empty() && m_pila.back() == "option")
                    m_pila.pop_back();
                if (t == "optgroup" && !m_pila.empty() && m_pila.back() == "optgroup")
                    m_pila.pop_back();
            } else if (t == "td" || t == "th") {
                if (const long k = buscar({"td", "th"}, tabla); k >= 0)
                    cerrarDesde(k);
            } else if (t == "tr") {
                if (const long k = buscar({"tr"}, tabla); k >= 0)
                    cerrarDesde(k);
            } else if (t == "tbody" || t == "thead" || t == "tfoot") {
                if (const long k = buscar({"tbody", "thead", "tfoot"}, tabla); k >= 0)
                    cerrarDesde(k);
            }
        }
        m_pila.push_back(t);
        if (t == "svg" || t == "math")
            m_ajeno = true;
        return int(m_pila.size()) + m_reabribles <= m_limite;
    }

    void cerrar(const std::string &t)
    {
        if (esVacio(t))
            return;
        for (long k = long(m_pila.size()) - 1; k >= 0; --k) {
            const std::string &abierto = m_pila[size_t(k)];
            if (abierto == t) {
                cerrarDesde(k);
                m_ajeno = enContenidoAjeno();
                return;
            }
            if (esFrontera(abierto))
                break;
        }
        // A formatting element's end tag with nothing open to close forgets one that could come back.
        if (esFormato(t) && m_reabribles > 0)
            --m_reabribles;
    }

    int m_limite;
    std::vector<std::string> m_pila;
    int m_reabribles = 0;
    bool m_ajeno = false;
};

// "application/x-www-form-urlencoded" bytes of one name or value.
void codificar(QByteArray &salida, const QString &texto, Juego juego)
{
    QByteArray bytes;
    if (juego == Juego::Utf8) {
        bytes = texto.toUtf8();
    } else {
        for (qsizetype i = 0; i < texto.size(); ++i) {
            const QChar c = texto.at(i);
            if (const std::optional<char> b = text::cp1252Byte(c.unicode())) {
                bytes.append(*b);
                continue;
            }
            char32_t punto = c.unicode();
            if (c.isHighSurrogate() && i + 1 < texto.size() && texto.at(i + 1).isLowSurrogate()) {
                punto = QChar::surrogateToUcs4(c, texto.at(i + 1));
                ++i;
            }
            bytes += "&#" + QByteArray::number(quint32(punto)) + ';';
        }
    }
    static const char kHex[] = "0123456789ABCDEF";
    for (const char ch : std::as_const(bytes)) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '*' || b == '-'
            || b == '.' || b == '_') {
            salida.append(char(b));
        } else if (b == ' ') {
            salida.append('+');
        } else {
            salida.append('%');
            salida.append(kHex[b >> 4]);
            salida.append(kHex[b & 0x0F]);
        }
    }
}

QString saltosCrLf(QString texto)
{
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    texto.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return texto;
}

} // namespace

ControlHtml *FormularioHtml::control(const QString &nombre)
{
    for (ControlHtml &c : controles) {
        if (c.nombre == nombre)
            return &c;
    }
    return nullptr;
}

const ControlHtml *FormularioHtml::control(const QString &nombre) const
{
    for (const ControlHtml &c : controles) {
        if (c.nombre == nombre)
            return &c;
    }
    return nullptr;
}

PaginaHtml analizarPagina(const QString &html, const QUrl &direccion)
{
    PaginaHtml pagina;
    if (html.size() > kTamanoMaximoPagina) {
        pagina.valida = false;
        return pagina;
    }
    const QByteArray utf8 = html.toUtf8();
    if (utf8.size() > kTamanoMaximoPagina
        || !Anidamiento(kAnidamientoMaximo).leer(std::string_view(utf8.constData(), size_t(utf8.size())))) {
        pagina.valida = false;
        return pagina;
    }
    GumboOptions opciones = kGumboDefaultOptions;
    // The parser would otherwise keep a copy of its whole stack of open elements for every error
    // it meets, which on a sloppy page costs far more than the parse itself; nothing here reads them.
    opciones.max_errors = 0;
    GumboPtr salida(gumbo_parse_with_options(&opciones, utf8.constData(), size_t(utf8.size())), destruir);
    if (!salida)
        return pagina;
    const GumboNode *body = buscar(salida->document, GUMBO_TAG_BODY);
    pagina.htmlCuerpo = fuenteCuerpo(utf8, body);
    pagina.textoCuerpo = body ? textoPlano(body).simplified() : QString();

    const GumboNode *form = buscar(salida->document, GUMBO_TAG_FORM);
    if (!form)
        return pagina;
    FormularioHtml &f = pagina.formulario;
    f.encontrado = true;
    QUrl base = direccion;
    if (const GumboNode *etiquetaBase = buscar(salida->document, GUMBO_TAG_BASE)) {
        const QString href = atributo(etiquetaBase->v.element, "href").trimmed();
        if (!href.isEmpty())
            base = direccion.resolved(QUrl(href));
    }
    const QString accion = atributo(form->v.element, "action").trimmed();
    f.accion = accion.isEmpty() ? direccion : base.resolved(QUrl(accion));
    f.post = atributo(form->v.element, "method").trimmed().compare(QStringLiteral("post"), Qt::CaseInsensitive) == 0;
    recogerControles(form, f.controles);
    return pagina;
}

Juego juegoDe(const QByteArray &contentType)
{
    return contentType.toLower().contains("utf-8") ? Juego::Utf8 : Juego::Windows1252;
}

QByteArray codificarEnvio(const FormularioHtml &formulario, const QString &boton, Juego juego)
{
    QByteArray cuerpo;
    bool botonPuesto = false;
    for (const ControlHtml &c : formulario.controles) {
        if (c.nombre.isEmpty() || c.desactivado)
            continue;
        QString valor = c.valor;
        if (c.tipo == QLatin1String("submit")) {
            // Only the clicked button goes, and only once.
            if (c.nombre != boton || botonPuesto)
                continue;
            botonPuesto = true;
        } else if (c.tipo == QLatin1String("checkbox") || c.tipo == QLatin1String("radio")) {
            if (!c.marcado)
                continue;
            if (valor.isEmpty())
                valor = QStringLiteral("on");
        } else if (c.tipo == QLatin1String("button") || c.tipo == QLatin1String("reset")
                   || c.tipo == QLatin1String("image") || c.tipo == QLatin1String("file")) {
            continue;
        } else if (c.tipo == QLatin1String("textarea")) {
            valor = saltosCrLf(valor);
        }
        if (!cuerpo.isEmpty())
            cuerpo.append('&');
        codificar(cuerpo, c.nombre, juego);
        cuerpo.append('=');
        codificar(cuerpo, valor, juego);
    }
    return cuerpo;
}

} // namespace automation::birthdays
