#include "platform/net/reply_text.h"

#include "platform/text/cp1252.h"

#include <QStringDecoder>

#include <array>

namespace net {
namespace {

QByteArray charsetOf(QByteArrayView contentType)
{
    const QByteArray lowered = contentType.toByteArray().toLower();
    const qsizetype at = lowered.indexOf("charset=");
    if (at < 0)
        return {};
    QByteArray name = lowered.mid(at + 8);
    const qsizetype end = name.indexOf(';');
    if (end >= 0)
        name.truncate(end);
    name = name.trimmed();
    if (name.size() >= 2 && (name.startsWith('"') || name.startsWith('\'')))
        name = name.mid(1, name.size() - 2).trimmed();
    return name;
}

bool isWindows1252Family(const QByteArray &name)
{
    static constexpr std::array<const char *, 8> kNames = {
        "windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1", "latin1", "us-ascii", "ascii"};
    for (const char *candidate : kNames) {
        if (name == candidate)
            return true;
    }
    return false;
}

// Latin-1 entity names for U+00A0 to U+00FF, in code order.
constexpr std::array<const char *, 96> kLatin1Entities = {
    "nbsp", "iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect", "uml", "copy", "ordf",
    "laquo", "not", "shy", "reg", "macr", "deg", "plusmn", "sup2", "sup3", "acute", "micro", "para",
    "middot", "cedil", "sup1", "ordm", "raquo", "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc", "Atilde", "Auml", "Aring", "AElig", "Ccedil", "Egrave", "Eacute", "Ecirc",
    "Euml", "Igrave", "Iacute", "Icirc", "Iuml", "ETH", "Ntilde", "Ograve", "Oacute", "Ocirc",
    "Otilde", "Ouml", "times", "Oslash", "Ugrave", "Uacute", "Ucirc", "Uuml", "Yacute", "THORN",
    "szlig", "agrave", "aacute", "acirc", "atilde", "auml", "aring", "aelig", "ccedil", "egrave",
    "eacute", "ecirc", "euml", "igrave", "iacute", "icirc", "iuml", "eth", "ntilde", "ograve",
    "oacute", "ocirc", "otilde", "ouml", "divide", "oslash", "ugrave", "uacute", "ucirc", "uuml",
    "yacute", "thorn", "yuml"};

struct NamedEntity {
    const char *name;
    char32_t code;
};
constexpr std::array<NamedEntity, 15> kOtherEntities = {{
    {"amp", U'&'}, {"lt", U'<'}, {"gt", U'>'}, {"quot", U'"'}, {"apos", U'\''},
    {"euro", U'\u20AC'}, {"hellip", U'\u2026'}, {"ndash", U'\u2013'}, {"mdash", U'\u2014'},
    {"lsquo", U'\u2018'}, {"rsquo", U'\u2019'}, {"ldquo", U'\u201C'}, {"rdquo", U'\u201D'},
    {"bull", U'\u2022'}, {"trade", U'\u2122'},
}};

char32_t namedEntity(QStringView name)
{
    for (const NamedEntity &entity : kOtherEntities) {
        if (name == QLatin1String(entity.name))
            return entity.code;
    }
    for (std::size_t i = 0; i < kLatin1Entities.size(); ++i) {
        if (name == QLatin1String(kLatin1Entities[i]))
            return static_cast<char32_t>(0xA0 + i);
    }
    return 0;
}

// Browsers read the C1 range of a numeric reference as Windows-1252, as pages written on
// Windows expect.
char32_t numericEntity(QStringView digits, bool hex)
{
    bool ok = false;
    const uint value = digits.toUInt(&ok, hex ? 16 : 10);
    if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return U'\uFFFD';
    if (value >= 0x80 && value <= 0x9F) {
        const char byte = static_cast<char>(value);
        return text::fromCp1252(QByteArrayView(&byte, 1)).at(0).unicode();
    }
    return value;
}

// Decodes the reference starting at html[at] == '&'. Returns how many characters it used, 0 when
// it is not a reference (the '&' then stays as typed).
qsizetype decodeEntity(QStringView html, qsizetype at, char32_t &code)
{
    // A reference is short: look no further than its longest form, so a page full of bare "&"
    // costs one short look each instead of a search to the end of the page.
    constexpr qsizetype kLongestReference = 12;
    const qsizetype found = html.mid(at + 1, kLongestReference).indexOf(QLatin1Char(';'));
    if (found < 0)
        return 0;
    const qsizetype semicolon = at + 1 + found;
    const QStringView inner = html.mid(at + 1, semicolon - at - 1);
    if (inner.isEmpty())
        return 0;
    if (inner.startsWith(QLatin1Char('#'))) {
        const bool hex = inner.size() > 1 && (inner[1] == QLatin1Char('x') || inner[1] == QLatin1Char('X'));
        const QStringView digits = inner.mid(hex ? 2 : 1);
        if (digits.isEmpty())
            return 0;
        code = numericEntity(digits, hex);
    } else {
        code = namedEntity(inner);
        if (code == 0)
            return 0;
    }
    return semicolon - at + 1;
}

bool isHtmlSpace(QChar ch)
{
    return ch == QLatin1Char(' ') || ch == QLatin1Char('\t') || ch == QLatin1Char('\n')
        || ch == QLatin1Char('\r') || ch == QLatin1Char('\f');
}

bool isBlockElement(QStringView name)
{
    static constexpr std::array<const char *, 24> kBlocks = {
        "p", "div", "tr", "li", "h1", "h2", "h3", "h4", "h5", "h6", "table", "ul", "ol", "dl",
        "dt", "dd", "blockquote", "form", "hr", "address", "center", "section", "article", "pre"};
    for (const char *block : kBlocks) {
        if (name == QLatin1String(block))
            return true;
    }
    return false;
}

bool isHiddenElement(QStringView name)
{
    return name == u"head" || name == u"script" || name == u"style" || name == u"title"
        || name == u"template";
}

class TextCollector {
public:
    void text(QChar ch, bool preformatted)
    {
        if (!preformatted && isHtmlSpace(ch)) {
            m_pendingSpace = true;
            return;
        }
        flushSpace();
        m_out.append(ch);
    }
    void code(char32_t cp)
    {
        flushSpace();
        m_out.append(QString::fromUcs4(&cp, 1));
    }
    void lineBreak(bool always)
    {
        m_pendingSpace = false;
        while (m_out.endsWith(QLatin1Char(' ')))
            m_out.chop(1);
        if (always || (!m_out.isEmpty() && !m_out.endsWith(QLatin1Char('\n'))))
            m_out.append(QLatin1String("\r\n"));
    }
    QString take() { return std::move(m_out); }

private:
    void flushSpace()
    {
        if (m_pendingSpace && !m_out.isEmpty() && !m_out.endsWith(QLatin1Char('\n')))
            m_out.append(QLatin1Char(' '));
        m_pendingSpace = false;
    }
    QString m_out;
    bool m_pendingSpace = false;
};

// End of the tag opened at html[at] == '<': the index of its '>' (quotes respected), or -1.
qsizetype tagEnd(QStringView html, qsizetype at)
{
    QChar quote;
    for (qsizetype i = at + 1; i < html.size(); ++i) {
        const QChar ch = html[i];
        if (!quote.isNull()) {
            if (ch == quote)
                quote = QChar();
        } else if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
            quote = ch;
        } else if (ch == QLatin1Char('>')) {
            return i;
        }
    }
    return -1;
}

} // namespace

QString decodeBody(QByteArrayView body, QByteArrayView contentType)
{
    const QByteArray charset = charsetOf(contentType);
    const bool utf8Bom = body.startsWith("\xEF\xBB\xBF");
    if (charset == "utf-8" || charset == "utf8" || (charset.isEmpty() && utf8Bom)) {
        QStringDecoder decoder(QStringConverter::Utf8);
        return decoder.decode(body);
    }
    if (charset.isEmpty() || isWindows1252Family(charset))
        return text::fromCp1252(body);
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return text::fromCp1252(body);
    return decoder.decode(body);
}

QString htmlToText(QStringView html)
{
    TextCollector out;
    int preDepth = 0;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar ch = html[i];
        if (ch == QLatin1Char('&')) {
            char32_t code = 0;
            if (const qsizetype used = decodeEntity(html, i, code); used > 0) {
                out.code(code);
                i += used;
                continue;
            }
            out.text(ch, preDepth > 0);
            ++i;
            continue;
        }
        const bool tagStart = ch == QLatin1Char('<') && i + 1 < html.size()
            && (html[i + 1].isLetter() || html[i + 1] == QLatin1Char('/') || html[i + 1] == QLatin1Char('!'));
        if (!tagStart) {
            out.text(ch, preDepth > 0);
            ++i;
            continue;
        }
        if (html.mid(i).startsWith(QLatin1String("<!--"))) {
            const qsizetype close = html.indexOf(QLatin1String("-->"), i + 4);
            i = close < 0 ? html.size() : close + 3;
            continue;
        }
        const qsizetype end = tagEnd(html, i);
        if (end < 0)
            break; // an unfinished tag at the very end shows nothing
        if (html[i + 1] == QLatin1Char('!')) {
            i = end + 1;
            continue;
        }
        const bool closing = html[i + 1] == QLatin1Char('/');
        qsizetype nameStart = i + (closing ? 2 : 1);
        qsizetype nameEnd = nameStart;
        while (nameEnd < end && html[nameEnd].isLetterOrNumber())
            ++nameEnd;
        const QString name = html.mid(nameStart, nameEnd - nameStart).toString().toLower();
        i = end + 1;

        if (!closing && isHiddenElement(name)) {
            const qsizetype close = html.indexOf(QString(QLatin1String("</") + name), i, Qt::CaseInsensitive);
            if (close < 0) {
                i = html.size();
            } else {
                const qsizetype closeEnd = tagEnd(html, close);
                i = closeEnd < 0 ? html.size() : closeEnd + 1;
            }
            continue;
        }
        if (name == u"br") {
            out.lineBreak(true);
        } else if (isBlockElement(name)) {
            out.lineBreak(false);
            if (name == u"pre")
                preDepth = closing ? qMax(0, preDepth - 1) : preDepth + 1;
        }
    }
    return out.take();
}

QString replyText(QByteArrayView body, QByteArrayView contentType)
{
    QString decoded = decodeBody(body, contentType);
    bool html = false;
    if (contentType.isEmpty()) {
        // Looked at in place: a large reply is not copied just to see how it starts.
        for (const QChar ch : std::as_const(decoded)) {
            if (!ch.isSpace()) {
                html = ch == QLatin1Char('<');
                break;
            }
        }
    } else {
        html = contentType.toByteArray().toLower().contains("html");
    }
    if (html)
        decoded = htmlToText(decoded);
    return std::move(decoded).trimmed();
}

qsizetype apiFieldCount(QStringView text)
{
    return text.isEmpty() ? 0 : text.count(QLatin1Char('|')) + 1;
}

QStringView apiField(QStringView text, qsizetype index)
{
    if (text.isEmpty() || index < 0)
        return {};
    qsizetype start = 0;
    for (qsizetype i = 0; i < index; ++i) {
        const qsizetype bar = text.indexOf(QLatin1Char('|'), start);
        if (bar < 0)
            return {};
        start = bar + 1;
    }
    const qsizetype end = text.indexOf(QLatin1Char('|'), start);
    return text.mid(start, (end < 0 ? text.size() : end) - start);
}

bool replyOk(QStringView text)
{
    return !text.isEmpty() && text.contains(QLatin1Char('|'));
}

std::optional<int> apiCode(QStringView text)
{
    if (!replyOk(text))
        return std::nullopt;
    const QStringView code = apiField(text, 0).trimmed();
    if (code.size() != 1 || code.at(0) < QLatin1Char('0') || code.at(0) > QLatin1Char('9'))
        return std::nullopt;
    return code.at(0).unicode() - u'0';
}

} // namespace net
