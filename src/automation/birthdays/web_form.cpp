#include "automation/birthdays/web_form.h"

#include "platform/text/cp1252.h"

#include <gumbo.h>

#include <memory>

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

const GumboNode *buscar(const GumboNode *nodo, GumboTag tag)
{
    if (nodo->type != GUMBO_NODE_ELEMENT && nodo->type != GUMBO_NODE_DOCUMENT)
        return nullptr;
    if (nodo->type == GUMBO_NODE_ELEMENT && nodo->v.element.tag == tag)
        return nodo;
    const GumboVector &hijos = nodo->type == GUMBO_NODE_ELEMENT ? nodo->v.element.children : nodo->v.document.children;
    for (unsigned i = 0; i < hijos.length; ++i) {
        if (const GumboNode *hallado = buscar(static_cast<const GumboNode *>(hijos.data[i]), tag))
            return hallado;
    }
    return nullptr;
}

void textoDe(const GumboNode *nodo, QString &salida)
{
    if (nodo->type == GUMBO_NODE_TEXT || nodo->type == GUMBO_NODE_CDATA || nodo->type == GUMBO_NODE_WHITESPACE) {
        salida += QString::fromUtf8(nodo->v.text.text);
        return;
    }
    if (nodo->type != GUMBO_NODE_ELEMENT)
        return;
    const GumboTag tag = nodo->v.element.tag;
    if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TEMPLATE || tag == GUMBO_TAG_NOSCRIPT)
        return;
    const GumboVector &hijos = nodo->v.element.children;
    for (unsigned i = 0; i < hijos.length; ++i)
        textoDe(static_cast<const GumboNode *>(hijos.data[i]), salida);
    salida += QLatin1Char(' ');
}

QString textoPlano(const GumboNode *nodo)
{
    QString texto;
    textoDe(nodo, texto);
    return texto;
}

// A select's value: its (last) selected option, else its first, else "".
QString valorSelect(const GumboNode *nodo)
{
    QString primero;
    QString elegido;
    bool hayPrimero = false;
    bool hayElegido = false;
    auto visitar = [&](auto &&self, const GumboNode *n) -> void {
        if (n->type != GUMBO_NODE_ELEMENT)
            return;
        if (n->v.element.tag == GUMBO_TAG_OPTION) {
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
            return;
        }
        const GumboVector &hijos = n->v.element.children;
        for (unsigned i = 0; i < hijos.length; ++i)
            self(self, static_cast<const GumboNode *>(hijos.data[i]));
    };
    visitar(visitar, nodo);
    return hayElegido ? elegido : primero;
}

void recogerControles(const GumboNode *nodo, QList<ControlHtml> &controles)
{
    if (nodo->type != GUMBO_NODE_ELEMENT)
        return;
    const GumboElement &e = nodo->v.element;
    ControlHtml c;
    bool esControl = true;
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
        esControl = false;
        break;
    }
    if (esControl) {
        c.nombre = atributo(e, "name");
        c.desactivado = tieneAtributo(e, "disabled");
        controles.append(c);
        if (e.tag == GUMBO_TAG_SELECT || e.tag == GUMBO_TAG_TEXTAREA)
            return;
    }
    for (unsigned i = 0; i < e.children.length; ++i)
        recogerControles(static_cast<const GumboNode *>(e.children.data[i]), controles);
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
    const QByteArray utf8 = html.toUtf8();
    GumboOptions opciones = kGumboDefaultOptions;
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
