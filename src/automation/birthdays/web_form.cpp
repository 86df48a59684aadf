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

void destroyOutput(GumboOutput *output)
{
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}

QString attribute(const GumboElement &e, const char *name)
{
    const GumboAttribute *a = gumbo_get_attribute(&e.attributes, name);
    return a ? QString::fromUtf8(a->value) : QString();
}

bool hasAttribute(const GumboElement &e, const char *name)
{
    return gumbo_get_attribute(&e.attributes, name) != nullptr;
}

const GumboVector *childrenOf(const GumboNode *node)
{
    if (node->type == GUMBO_NODE_ELEMENT)
        return &node->v.element.children;
    if (node->type == GUMBO_NODE_DOCUMENT)
        return &node->v.document.children;
    return nullptr;
}

enum class Step { Enter, Skip, Stop };

// Visits `raiz` and everything under it in document order without recursion (a page may nest
// as deep as it likes). `entrar` decides whether a node's children are visited; `salir`, when
// given, runs after an element's children were.
template <typename EnterFn, typename LeaveFn>
void walk(const GumboNode *root, EnterFn &&enter, LeaveFn &&leave)
{
    struct Frame {
        const GumboNode *node;
        unsigned nextChild;
    };
    std::vector<Frame> stack;
    const auto visit = [&](const GumboNode *node) {
        const Step step = enter(node);
        if (step == Step::Enter && childrenOf(node))
            stack.push_back({node, 0});
        return step != Step::Stop;
    };
    if (!visit(root))
        return;
    while (!stack.empty()) {
        Frame &frame = stack.back();
        const GumboVector &children = *childrenOf(frame.node);
        if (frame.nextChild >= children.length) {
            const GumboNode *done = frame.node;
            stack.pop_back();
            leave(done);
            continue;
        }
        const auto *child = static_cast<const GumboNode *>(children.data[frame.nextChild++]);
        if (!visit(child))
            return;
    }
}

template <typename EnterFn>
void walk(const GumboNode *root, EnterFn &&enter)
{
    walk(root, std::forward<EnterFn>(enter), [](const GumboNode *) {});
}

bool isElement(const GumboNode *node)
{
    return node->type == GUMBO_NODE_ELEMENT;
}

const GumboNode *findElement(const GumboNode *root, GumboTag tag)
{
    const GumboNode *found = nullptr;
    walk(root, [&](const GumboNode *node) {
        if (isElement(node) && node->v.element.tag == tag) {
            found = node;
            return Step::Stop;
        }
        return Step::Enter;
    });
    return found;
}

// The visible text under `raiz`: texts in document order, a blank after every element.
QString plainText(const GumboNode *root)
{
    QString output;
    walk(
        root,
        [&](const GumboNode *node) {
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_CDATA || node->type == GUMBO_NODE_WHITESPACE) {
                output += QString::fromUtf8(node->v.text.text);
                return Step::Skip;
            }
            if (node->type != GUMBO_NODE_ELEMENT)
                return Step::Skip;
            const GumboTag tag = node->v.element.tag;
            if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TEMPLATE || tag == GUMBO_TAG_NOSCRIPT)
                return Step::Skip;
            return Step::Enter;
        },
        [&](const GumboNode *) { output += QLatin1Char(' '); });
    return output;
}

// A select's value: its (last) selected option, else its first, else "".
QString selectValue(const GumboNode *select)
{
    QString first;
    QString chosen;
    bool hasFirst = false;
    bool hasChosen = false;
    walk(select, [&](const GumboNode *n) {
        if (n->type != GUMBO_NODE_ELEMENT)
            return Step::Skip;
        if (n->v.element.tag != GUMBO_TAG_OPTION)
            return Step::Enter;
        const QString value = hasAttribute(n->v.element, "value") ? attribute(n->v.element, "value")
                                                                 : plainText(n).simplified();
        if (!hasFirst) {
            first = value;
            hasFirst = true;
        }
        if (hasAttribute(n->v.element, "selected")) {
            chosen = value;
            hasChosen = true;
        }
        return Step::Skip;
    });
    return hasChosen ? chosen : first;
}

void collectControls(const GumboNode *form, QList<HtmlControl> &controls)
{
    walk(form, [&](const GumboNode *node) {
        if (node->type != GUMBO_NODE_ELEMENT)
            return Step::Skip;
        const GumboElement &e = node->v.element;
        HtmlControl c;
        switch (e.tag) {
        case GUMBO_TAG_INPUT:
            c.type = hasAttribute(e, "type") ? attribute(e, "type").toLower() : QStringLiteral("text");
            c.value = attribute(e, "value");
            c.checked = hasAttribute(e, "checked");
            break;
        case GUMBO_TAG_TEXTAREA:
            c.type = QStringLiteral("textarea");
            c.value = plainText(node).chopped(1);
            break;
        case GUMBO_TAG_SELECT:
            c.type = QStringLiteral("select");
            c.value = selectValue(node);
            break;
        case GUMBO_TAG_BUTTON:
            c.type = hasAttribute(e, "type") ? attribute(e, "type").toLower() : QStringLiteral("submit");
            c.value = attribute(e, "value");
            break;
        default:
            return Step::Enter;
        }
        c.name = attribute(e, "name");
        c.disabled = hasAttribute(e, "disabled");
        controls.append(c);
        return e.tag == GUMBO_TAG_SELECT || e.tag == GUMBO_TAG_TEXTAREA ? Step::Skip : Step::Enter;
    });
}

// The body's source between its own tags, as written in the page (the offsets are the parser's,
// into the UTF-8 bytes it was given).
QString bodySource(const QByteArray &utf8, const GumboNode *body)
{
    if (!body || body->v.element.original_tag.length == 0)
        return QString::fromUtf8(utf8);
    const GumboElement &e = body->v.element;
    const qsizetype start = qsizetype(e.start_pos.offset) + qsizetype(e.original_tag.length);
    qsizetype end = utf8.size();
    if (e.original_end_tag.length > 0)
        end = qsizetype(e.end_pos.offset);
    if (start < 0 || start > utf8.size() || end < start || end > utf8.size())
        return QString();
    return QString::fromUtf8(utf8.mid(start, end - start));
}

// How deep a page nests its elements and how many attributes it gives them, estimated before
// the parser sees it: the parser's time grows with the square of the nesting and of the
// attributes of one tag (each new one is compared with all before it, the html and body tags
// of the whole page counting as one), and a page of a few hundred kilobytes of either would hold
// the window for minutes. The estimate follows the tree builder's main rules (end tags close up
// to their element unless a scope boundary stands between, the elements that close themselves,
// paragraphs closed by blocks, formatting elements that come back after being closed by someone
// else's end tag), and where it is unsure it counts deeper, never shallower.
//
// Formatting elements closed by someone else's tag are copied again, attributes and all, before
// every later start tag or text until they are closed for good; the gauge charges each such
// point with what would be copied there and refuses a page whose copying would run long.
class NestingGauge final {
public:
    struct Limits {
        int nesting = kMaxNesting;
        int tagAttributes = kMaxTagAttributes;
        int pageAttributes = kMaxPageAttributes;
        qint64 reopenedCopies = kMaxReopenedCopies;
    };

    explicit NestingGauge(const Limits &limits) : m_limits(limits) {}

    // False as soon as the page passes one of the limits.
    bool read(std::string_view html)
    {
        size_t i = 0;
        const size_t n = html.size();
        while (i < n) {
            const size_t lt = html.find('<', i);
            if (!chargeText(html.substr(i, (lt == std::string_view::npos ? n : lt) - i)))
                return false;
            if (lt == std::string_view::npos || lt + 1 >= n)
                break;
            i = lt + 1;
            const char c = html[i];
            if (c == '!') {
                if (html.substr(i, 3) == "!--") {
                    i = commentEnd(html, i + 3);
                } else {
                    i = pastChar(html, i, '>');
                }
                continue;
            }
            if (c == '?') {
                i = pastChar(html, i, '>');
                continue;
            }
            const bool closing = c == '/';
            if (closing)
                ++i;
            if (i >= n || !isLetter(html[i]))
                continue;
            const size_t nameStart = i;
            while (i < n && !isBlank(html[i]) && html[i] != '/' && html[i] != '>')
                ++i;
            std::string name(html.substr(nameStart, i - nameStart));
            for (char &ch : name)
                ch = char(std::tolower(static_cast<unsigned char>(ch)));
            int attributes = 0;
            i = tagEnd(html, i, &attributes);
            if (!countAttributes(name, attributes, closing))
                return false;
            if (closing) {
                closeElement(name);
                continue;
            }
            // Blocks such as paragraphs open without bringing the formatting elements back.
            if ((!closesParagraph(name) && !chargeReopening()) || !openElement(name, attributes))
                return false;
            // The contents of these are text to the parser, whatever they look like; inside SVG or
            // MathML they are ordinary elements (a <title> there holds markup).
            if (!m_foreign && isRawText(name)) {
                if (name == "plaintext")
                    break;
                int endAttributes = 0;
                i = rawTextEnd(html, i, name, &endAttributes);
                popElement();
                if (!countAttributes(name, endAttributes, true))
                    return false;
            }
        }
        return true;
    }

private:
    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

    static size_t pastChar(std::string_view html, size_t i, char c)
    {
        const size_t end = html.find(c, i);
        return end == std::string_view::npos ? html.size() : end + 1;
    }

    // Past the end of a comment whose text starts at `i`: "<!-->" and "<!--->" end at once, others
    // at the first "-->" or "--!>", an unended one with the page.
    static size_t commentEnd(std::string_view html, size_t i)
    {
        if (html.substr(i, 1) == ">")
            return i + 1;
        if (html.substr(i, 2) == "->")
            return i + 2;
        const size_t end = html.find("--", i);
        for (size_t at = end; at != std::string_view::npos; at = html.find("--", at + 1)) {
            if (html.substr(at, 3) == "-->")
                return at + 3;
            if (html.substr(at, 4) == "--!>")
                return at + 4;
        }
        return html.size();
    }

    // Past the tag's closing ">", attribute values in quotes skipped whole; counts the attributes
    // on the way when asked (a name starts at a character after a blank, a "/" or a value).
    static size_t tagEnd(std::string_view html, size_t i, int *attributes = nullptr)
    {
        const size_t n = html.size();
        bool inName = false;
        while (i < n && html[i] != '>') {
            const char c = html[i];
            if (c == '=') {
                inName = false;
                ++i;
                while (i < n && isBlank(html[i]))
                    ++i;
                if (i < n && (html[i] == '"' || html[i] == '\'')) {
                    i = pastChar(html, i + 1, html[i]);
                    continue;
                }
                while (i < n && !isBlank(html[i]) && html[i] != '>')
                    ++i;
                continue;
            }
            if (isBlank(c) || c == '/') {
                inName = false;
            } else if (!inName) {
                inName = true;
                if (attributes)
                    ++*attributes;
            }
            ++i;
        }
        return i < n ? i + 1 : n;
    }

    bool countAttributes(const std::string &name, int attributes, bool closing)
    {
        m_pageAttributes += attributes;
        if (attributes > m_limits.tagAttributes || m_pageAttributes > m_limits.pageAttributes)
            return false;
        // Every later html or body tag adds its attributes to the first one's.
        if (!closing && (name == "html" || name == "body")) {
            m_rootAttributes += attributes;
            if (m_rootAttributes > m_limits.tagAttributes)
                return false;
        }
        return true;
    }

    // What the parser copies at one start tag or run of text while formatting elements wait to
    // come back: the elements, each worth several of its attributes, and their attributes.
    bool chargeReopening()
    {
        if (m_reopenable == 0)
            return true;
        m_reopenedCopies += kElementCopyWeight * qint64(m_reopenable) + m_reopenableAttributes;
        return m_reopenedCopies <= m_limits.reopenedCopies;
    }

    // Any text brings them back, blanks included.
    bool chargeText(std::string_view text) { return text.empty() || chargeReopening(); }

    static constexpr qint64 kElementCopyWeight = 4;

    static size_t rawTextEnd(std::string_view html, size_t i, const std::string &name, int *attributes)
    {
        const size_t n = html.size();
        while (i < n) {
            const size_t lt = html.find("</", i);
            if (lt == std::string_view::npos)
                return n;
            i = lt + 2;
            if (i + name.size() > n)
                return n;
            bool same = true;
            for (size_t k = 0; k < name.size() && same; ++k)
                same = std::tolower(static_cast<unsigned char>(html[i + k])) == name[k];
            if (same)
                return tagEnd(html, i + name.size(), attributes);
        }
        return n;
    }

    static bool isOneOf(std::string_view name, std::initializer_list<std::string_view> list)
    {
        return std::find(list.begin(), list.end(), name) != list.end();
    }
    static bool isVoid(std::string_view t)
    {
        return isOneOf(t, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "image", "img",
                      "input", "keygen", "link", "meta", "param", "source", "track", "wbr"});
    }
    static bool isRawText(std::string_view t)
    {
        return isOneOf(t, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes", "plaintext"});
    }
    static bool isFormatting(std::string_view t)
    {
        return isOneOf(t, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"});
    }
    static bool isScopeBoundary(std::string_view t)
    {
        return isOneOf(t, {"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template", "svg", "math",
                      "foreignobject", "desc", "mi", "mo", "mn", "ms", "mtext", "annotation-xml"});
    }
    static bool closesParagraph(std::string_view t)
    {
        return isOneOf(t, {"address", "article", "aside", "blockquote", "center", "details", "dialog", "dir", "div", "dl",
                      "fieldset", "figcaption", "figure", "footer", "header", "hgroup", "main", "menu", "nav", "ol",
                      "p", "section", "summary", "ul", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "listing", "form"});
    }

    // Where the nearest open `names` stands, searching down from the top and giving up at the
    // first element `frontera` names; -1 when not found.
    template <typename BoundaryFn>
    long findOpen(std::initializer_list<std::string_view> names, BoundaryFn &&boundary) const
    {
        for (long k = long(m_stack.size()) - 1; k >= 0; --k) {
            const std::string &t = m_stack[size_t(k)];
            if (isOneOf(t, names))
                return k;
            if (boundary(t))
                return -1;
        }
        return -1;
    }

    // Closes everything from `k` up. Formatting elements closed by someone else's tag may come
    // back later (the parser reopens them), so they still count.
    void closeFrom(long k)
    {
        for (size_t j = size_t(k) + 1; j < m_stack.size(); ++j) {
            if (isFormatting(m_stack[j])) {
                ++m_reopenable;
                m_reopenableAttributes += m_stackAttributes[j];
            }
        }
        m_stack.resize(size_t(k));
        m_stackAttributes.resize(size_t(k));
    }

    void popElement()
    {
        m_stack.pop_back();
        m_stackAttributes.pop_back();
    }

    bool inForeignContent() const
    {
        return std::any_of(m_stack.begin(), m_stack.end(), [](const std::string &t) { return t == "svg" || t == "math"; });
    }

    bool openElement(const std::string &t, int attributes)
    {
        if (isVoid(t))
            return true;
        const auto tableBoundary = [](std::string_view x) { return isOneOf(x, {"html", "table", "template"}); };
        if (!m_foreign) {
            if (closesParagraph(t)) {
                if (const long k = findOpen({"p"}, [](std::string_view x) { return isScopeBoundary(x) || x == "button"; }); k >= 0)
                    closeFrom(k);
            }
            const auto special = [](std::string_view x) {
                return isScopeBoundary(x) || (!isFormatting(x) && !isOneOf(x, {"address", "div", "p", "span", "label", "font"}));
            };
            if (t == "li") {
                if (const long k = findOpen({"li"}, special); k >= 0)
                    closeFrom(k);
            } else if (t == "dd" || t == "dt") {
                if (const long k = findOpen({"dd", "dt"}, special); k >= 0)
                    closeFrom(k);
            } else if (t == "option" || t == "optgroup") {
                if (!m_stack.empty() && m_stack.back() == "option")
                    popElement();
                if (t == "optgroup" && !m_stack.empty() && m_stack.back() == "optgroup")
                    popElement();
            } else if (t == "td" || t == "th") {
                if (const long k = findOpen({"td", "th"}, tableBoundary); k >= 0)
                    closeFrom(k);
            } else if (t == "tr") {
                if (const long k = findOpen({"tr"}, tableBoundary); k >= 0)
                    closeFrom(k);
            } else if (t == "tbody" || t == "thead" || t == "tfoot") {
                if (const long k = findOpen({"tbody", "thead", "tfoot"}, tableBoundary); k >= 0)
                    closeFrom(k);
            }
        }
        m_stack.push_back(t);
        m_stackAttributes.push_back(attributes);
        if (t == "svg" || t == "math")
            m_foreign = true;
        return int(m_stack.size()) + m_reopenable <= m_limits.nesting;
    }

    void closeElement(const std::string &t)
    {
        if (isVoid(t))
            return;
        for (long k = long(m_stack.size()) - 1; k >= 0; --k) {
            const std::string &openName = m_stack[size_t(k)];
            if (openName == t) {
                closeFrom(k);
                m_foreign = inForeignContent();
                return;
            }
            if (isScopeBoundary(openName))
                break;
        }
        // A formatting element's end tag with nothing open to close forgets one that could come back
        // (its attributes are not known here, so they stay charged: never fewer).
        if (isFormatting(t) && m_reopenable > 0)
            --m_reopenable;
    }

    Limits m_limits;
    std::vector<std::string> m_stack;
    std::vector<int> m_stackAttributes; // beside m_stack, the attributes of each open element
    int m_reopenable = 0;
    qint64 m_reopenableAttributes = 0;
    qint64 m_reopenedCopies = 0;
    qint64 m_pageAttributes = 0;
    int m_rootAttributes = 0;
    bool m_foreign = false;
};

// "application/x-www-form-urlencoded" bytes of one name or value.
void encodeInto(QByteArray &output, const QString &input, Charset charset)
{
    QByteArray bytes;
    if (charset == Charset::Utf8) {
        bytes = input.toUtf8();
    } else {
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input.at(i);
            if (const std::optional<char> b = text::cp1252Byte(c.unicode())) {
                bytes.append(*b);
                continue;
            }
            char32_t codePoint = c.unicode();
            if (c.isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate()) {
                codePoint = QChar::surrogateToUcs4(c, input.at(i + 1));
                ++i;
            }
            bytes += "&#" + QByteArray::number(quint32(codePoint)) + ';';
        }
    }
    static const char kHex[] = "0123456789ABCDEF";
    for (const char ch : std::as_const(bytes)) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '*' || b == '-'
            || b == '.' || b == '_') {
            output.append(char(b));
        } else if (b == ' ') {
            output.append('+');
        } else {
            output.append('%');
            output.append(kHex[b >> 4]);
            output.append(kHex[b & 0x0F]);
        }
    }
}

QString withCrLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

} // namespace

HtmlControl *HtmlForm::control(const QString &name)
{
    for (HtmlControl &c : controls) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

const HtmlControl *HtmlForm::control(const QString &name) const
{
    for (const HtmlControl &c : controls) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

HtmlPage parsePage(const QString &html, const QUrl &url)
{
    HtmlPage page;
    if (html.size() > kMaxParsedPageSize) {
        page.valid = false;
        return page;
    }
    const QByteArray utf8 = html.toUtf8();
    if (utf8.size() > kMaxParsedPageSize
        || !NestingGauge(NestingGauge::Limits{}).read(std::string_view(utf8.constData(), size_t(utf8.size())))) {
        page.valid = false;
        return page;
    }
    GumboOptions options = kGumboDefaultOptions;
    // The parser would otherwise keep a copy of its whole stack of open elements for every error
    // it meets, which on a sloppy page costs far more than the parse itself; nothing here reads them.
    options.max_errors = 0;
    GumboPtr output(gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size())), destroyOutput);
    if (!output)
        return page;
    const GumboNode *body = findElement(output->document, GUMBO_TAG_BODY);
    page.bodyHtml = bodySource(utf8, body);
    page.bodyText = body ? plainText(body).simplified() : QString();

    const GumboNode *form = findElement(output->document, GUMBO_TAG_FORM);
    if (!form)
        return page;
    HtmlForm &f = page.form;
    f.found = true;
    QUrl base = url;
    if (const GumboNode *baseTag = findElement(output->document, GUMBO_TAG_BASE)) {
        const QString href = attribute(baseTag->v.element, "href").trimmed();
        if (!href.isEmpty())
            base = url.resolved(QUrl(href));
    }
    const QString action = attribute(form->v.element, "action").trimmed();
    f.action = action.isEmpty() ? url : base.resolved(QUrl(action));
    f.post = attribute(form->v.element, "method").trimmed().compare(QStringLiteral("post"), Qt::CaseInsensitive) == 0;
    collectControls(form, f.controls);
    return page;
}

Charset charsetOf(const QByteArray &contentType)
{
    return contentType.toLower().contains("utf-8") ? Charset::Utf8 : Charset::Windows1252;
}

QByteArray encodeSubmission(const HtmlForm &form, const QString &button, Charset charset)
{
    QByteArray body;
    bool buttonAdded = false;
    for (const HtmlControl &c : form.controls) {
        if (c.name.isEmpty() || c.disabled)
            continue;
        QString value = c.value;
        if (c.type == QLatin1String("submit")) {
            // Only the clicked button goes, and only once.
            if (c.name != button || buttonAdded)
                continue;
            buttonAdded = true;
        } else if (c.type == QLatin1String("checkbox") || c.type == QLatin1String("radio")) {
            if (!c.checked)
                continue;
            if (value.isEmpty())
                value = QStringLiteral("on");
        } else if (c.type == QLatin1String("button") || c.type == QLatin1String("reset")
                   || c.type == QLatin1String("image") || c.type == QLatin1String("file")) {
            continue;
        } else if (c.type == QLatin1String("textarea")) {
            value = withCrLf(value);
        }
        if (!body.isEmpty())
            body.append('&');
        encodeInto(body, c.name, charset);
        body.append('=');
        encodeInto(body, value, charset);
    }
    return body;
}

} // namespace automation::birthdays
