#include "platform/xlsx/xml_scanner.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace xlsx {

namespace {

// What one read of the part asks for.
constexpr qsizetype kPiece = 256 * 1024;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool startsName(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || (c & 0x80) != 0;
}

bool continuesName(char c)
{
    return startsName(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The length of the name at `from` (0 when none starts there).
qsizetype nameLength(const char *from, const char *end)
{
    if (from >= end || !startsName(*from))
        return 0;
    const char *p = from + 1;
    while (p < end && continuesName(*p))
        ++p;
    return p - from;
}

QByteArrayView localName(QByteArrayView qualified)
{
    const qsizetype colon = qualified.lastIndexOf(':');
    return colon < 0 ? qualified : qualified.sliced(colon + 1);
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The character a reference's body ("amp", "#233", "#xE9") stands for; 0 when it is none.
char32_t referenced(std::string_view body)
{
    if (body == "lt")
        return '<';
    if (body == "gt")
        return '>';
    if (body == "amp")
        return '&';
    if (body == "quot")
        return '"';
    if (body == "apos")
        return '\'';
    if (body.size() < 2 || body[0] != '#')
        return 0;
    const bool hex = body[1] == 'x';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8)
        return 0;
    char32_t value = 0;
    for (const char d : digits) {
        int digit = -1;
        if (d >= '0' && d <= '9')
            digit = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
            digit = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
            digit = d - 'A' + 10;
        if (digit < 0)
            return 0;
        value = value * (hex ? 16 : 10) + char32_t(digit);
        if (value > 0x10FFFF)
            return 0;
    }
    return isXmlChar(value) ? value : 0;
}

} // namespace

XmlScanner::XmlScanner(QIODevice &device) : m_device(device), m_buffer(std::size_t(kPiece))
{
    // A part in UTF-16 says so in its first bytes (its mark, or "<?" in two bytes each).
    const QByteArray head = m_device.peek(4);
    if (head.startsWith("\xFE\xFF") || head.startsWith("\xFF\xFE"))
        m_decoder.emplace(QStringDecoder::Utf16);
    else if (head.startsWith(QByteArrayView("<\0?\0", 4)))
        m_decoder.emplace(QStringDecoder::Utf16LE);
    else if (head.startsWith(QByteArrayView("\0<\0?", 4)))
        m_decoder.emplace(QStringDecoder::Utf16BE);
    m_encodingFixed = m_decoder.has_value();
}

XmlScanner::Token XmlScanner::fail()
{
    m_name = {};
    m_text = {};
    m_attributes.clear();
    return m_token = Token::Invalid;
}

bool XmlScanner::readMore()
{
    if (m_atEnd || m_failed)
        return false;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, std::size_t(m_end - m_begin));
        m_end -= m_begin;
        m_begin = 0;
    }
    const auto makeRoom = [this](qsizetype needed) {
        if (qsizetype(m_buffer.size()) - m_end >= needed)
            return true;
        // Only one token at a time is ever held: a longer one is no part of a workbook.
        constexpr qsizetype most = kMaxToken + 4 * kPiece;
        if (m_end + needed > most)
            return false;
        m_buffer.resize(std::size_t(std::min(most, std::max(qsizetype(m_buffer.size()) * 2, m_end + needed))));
        return true;
    };
    if (!m_decoder) {
        if (!makeRoom(kPiece)) {
            m_failed = true;
            return false;
        }
        const qint64 got = m_device.read(m_buffer.data() + m_end, qint64(m_buffer.size()) - m_end);
        if (got < 0)
            m_failed = true;
        else if (got == 0)
            m_atEnd = true;
        else
            m_end += got;
        return got > 0;
    }
    // Another encoding: turned into UTF-8 as it arrives.
    QByteArray raw(kPiece, Qt::Uninitialized);
    const qint64 got = m_device.read(raw.data(), raw.size());
    if (got < 0) {
        m_failed = true;
        return false;
    }
    if (got == 0) {
        m_atEnd = true;
        return false;
    }
    const QByteArray utf8 = QString(m_decoder->decode(QByteArrayView(raw.constData(), got))).toUtf8();
    if (m_decoder->hasError() || !makeRoom(utf8.size())) {
        m_failed = true;
        return false;
    }
    std::memcpy(m_buffer.data() + m_end, utf8.constData(), std::size_t(utf8.size()));
    m_end += utf8.size();
    return true;
}

bool XmlScanner::have(qsizetype count)
{
    while (m_end - m_begin < count)
        if (!readMore() && m_end - m_begin < count)
            return false;
    return true;
}

qsizetype XmlScanner::find(QByteArrayView what, qsizetype from)
{
    qsizetype at = from;
    for (;;) {
        const qsizetype available = m_end - m_begin;
        if (available - at >= what.size()) {
            const std::string_view window(m_buffer.data() + m_begin + at, std::size_t(available - at));
            const std::size_t hit = what.size() == 1 ? window.find(what.front())
                                                     : window.find(std::string_view(what.data(), std::size_t(what.size())));
            if (hit != std::string_view::npos)
                return at + qsizetype(hit);
            at = std::max(from, available - what.size() + 1);
        }
        if (!readMore())
            return -1;
    }
}

qsizetype XmlScanner::tagEnd()
{
    qsizetype at = 1;
    char quote = 0;
    for (;;) {
        const char *p = m_buffer.data() + m_begin;
        const qsizetype available = m_end - m_begin;
        for (; at < available; ++at) {
            const char c = p[at];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
                else if (c == '<')
                    return -1;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return at;
            } else if (c == '<') {
                return -1;
            }
        }
        if (!readMore())
            return -1;
    }
}

bool XmlScanner::resolve(QByteArrayView raw, std::string &out, bool attribute)
{
    const char *p = raw.data();
    const char *const end = p + raw.size();
    while (p < end) {
        const char c = *p;
        if (c == '&') {
            const char *semicolon = static_cast<const char *>(std::memchr(p, ';', std::size_t(std::min<qsizetype>(end - p, 12))));
            if (!semicolon)
                return false;
            const char32_t value = referenced(std::string_view(p + 1, std::size_t(semicolon - p - 1)));
            if (value == 0)
                return false;
            appendUtf8(out, value);
            p = semicolon + 1;
        } else if (c == '\r') {
            // Line ends are read as "\n", in values as a blank.
            out += attribute ? ' ' : '\n';
            p += p + 1 < end && p[1] == '\n' ? 2 : 1;
        } else if (attribute && (c == '\n' || c == '\t')) {
            out += ' ';
            ++p;
        } else {
            const char *next = p + 1;
            while (next < end && *next != '&' && *next != '\r' && !(attribute && (*next == '\n' || *next == '\t')))
                ++next;
            out.append(p, std::size_t(next - p));
            p = next;
        }
    }
    return true;
}

bool XmlScanner::checkDeclaration(QByteArrayView declaration)
{
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return true;
    qsizetype i = at + 8;
    while (i < declaration.size() && isSpace(declaration[i]))
        ++i;
    if (i >= declaration.size() || declaration[i] != '=')
        return false;
    ++i;
    while (i < declaration.size() && isSpace(declaration[i]))
        ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return false;
    const qsizetype close = declaration.indexOf(declaration[i], i + 1);
    if (close < 0)
        return false;
    const QByteArray name = declaration.sliced(i + 1, close - i - 1).toByteArray().toLower();
    if (name == "utf-8" || name == "utf8" || name == "us-ascii" || name == "ascii" || name.startsWith("utf-16"))
        return true;
    if (m_encodingFixed)
        return false;
    // A one-byte encoding named in the declaration: what follows it is turned into UTF-8.
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return false;
    m_decoder.emplace(std::move(decoder));
    m_encodingFixed = true;
    const qsizetype after = m_begin + declaration.size();
    const QByteArray rest = QString(m_decoder->decode(QByteArrayView(m_buffer.data() + after, m_end - after))).toUtf8();
    if (m_decoder->hasError())
        return false;
    if (qsizetype(m_buffer.size()) < after + rest.size())
        m_buffer.resize(std::size_t(after + rest.size()));
    std::memcpy(m_buffer.data() + after, rest.constData(), std::size_t(rest.size()));
    m_end = after + rest.size();
    return true;
}

XmlScanner::Token XmlScanner::next()
{
    if (m_token == Token::Invalid)
        return fail();
    m_attributes.clear();
    m_text = {};
    if (m_closePending) {
        m_closePending = false;
        m_name = localName(QByteArrayView(m_pendingName.data(), qsizetype(m_pendingName.size())));
        return m_token = Token::EndElement;
    }
    for (;;) {
        if (!have(1)) {
            if (m_failed || !m_opened.empty() || !m_rootSeen)
                return fail();
            m_name = {};
            return m_token = Token::EndOfDocument;
        }
        if (!m_started && !m_encodingFixed && have(3) && std::memcmp(m_buffer.data() + m_begin, "\xEF\xBB\xBF", 3) == 0) {
            m_begin += 3;
            m_encodingFixed = true;     // a UTF-8 mark: no other encoding may be declared after it
            continue;
        }
        // Reading on moves the buffer: a pointer into it is taken only after the last read.
        const char *p = m_buffer.data() + m_begin;
        if (*p != '<') {
            qsizetype end = find("<", 0);
            if (end < 0) {
                if (m_failed)
                    return fail();
                end = m_end - m_begin;
            }
            if (!m_opened.empty())
                return characters(end);
            // Outside the root only blanks may stand.
            const char *text = m_buffer.data() + m_begin;
            if (!std::all_of(text, text + end, isSpace))
                return fail();
            m_begin += end;
            m_started = true;
            continue;
        }
        if (!have(2))
            return fail();
        p = m_buffer.data() + m_begin;
        if (p[1] == '?') {
            const qsizetype end = find("?>", 2);
            if (end < 0)
                return fail();
            const QByteArrayView instruction(m_buffer.data() + m_begin, end + 2);
            if (instruction.size() > 5 && instruction.startsWith("<?xml") && isSpace(instruction[5])) {
                if (m_started || !checkDeclaration(instruction))
                    return fail();
            }
            m_begin += end + 2;
            m_started = true;
            continue;
        }
        m_started = true;
        if (p[1] == '!') {
            if (have(4) && std::memcmp(m_buffer.data() + m_begin, "<!--", 4) == 0) {
                const qsizetype end = find("-->", 4);
                if (end < 0)
                    return fail();
                m_begin += end + 3;
                continue;
            }
            if (!m_opened.empty() && have(9) && std::memcmp(m_buffer.data() + m_begin, "<![CDATA[", 9) == 0) {
                const qsizetype end = find("]]>", 9);
                if (end < 0)
                    return fail();
                const QByteArrayView raw(m_buffer.data() + m_begin + 9, end - 9);
                m_resolved.clear();
                for (qsizetype i = 0; i < raw.size(); ++i) {
                    if (raw[i] == '\r') {
                        m_resolved += '\n';
                        if (i + 1 < raw.size() && raw[i + 1] == '\n')
                            ++i;
                    } else {
                        m_resolved += raw[i];
                    }
                }
                m_text = QByteArrayView(m_resolved.data(), qsizetype(m_resolved.size()));
                m_begin += end + 3;
                return m_token = Token::Characters;
            }
            // A document type declaration, or no markup at all.
            return fail();
        }
        const qsizetype end = tagEnd();
        if (end < 0)
            return fail();
        return m_buffer[std::size_t(m_begin + 1)] == '/' ? endTag(end) : startTag(end);
    }
}

XmlScanner::Token XmlScanner::nextStartElement()
{
    for (;;) {
        const Token token = next();
        if (token == Token::StartElement || token == Token::EndOfDocument || token == Token::Invalid)
            return token;
    }
}

XmlScanner::Token XmlScanner::characters(qsizetype end)
{
    const QByteArrayView raw(m_buffer.data() + m_begin, end);
    m_begin += end;
    if (!raw.contains('&') && !raw.contains('\r')) {
        m_text = raw;
        return m_token = Token::Characters;
    }
    m_resolved.clear();
    if (!resolve(raw, m_resolved, false))
        return fail();
    m_text = QByteArrayView(m_resolved.data(), qsizetype(m_resolved.size()));
    return m_token = Token::Characters;
}

XmlScanner::Token XmlScanner::startTag(qsizetype end)
{
    const char *const tag = m_buffer.data() + m_begin;
    const bool empty = end >= 2 && tag[end - 1] == '/';
    const char *const body = tag + (empty ? end - 1 : end);
    const qsizetype length = nameLength(tag + 1, body);
    if (length == 0)
        return fail();
    const QByteArrayView qualified(tag + 1, length);

    std::vector<FoundAttribute> &found = m_found;
    found.clear();
    m_values.clear();
    const char *p = tag + 1 + length;
    for (;;) {
        const char *blank = p;
        while (p < body && isSpace(*p))
            ++p;
        if (p == body)
            break;
        if (p == blank)
            return fail();
        const qsizetype nameSize = nameLength(p, body);
        if (nameSize == 0)
            return fail();
        FoundAttribute attribute{localName(QByteArrayView(p, nameSize)), {}};
        p += nameSize;
        while (p < body && isSpace(*p))
            ++p;
        if (p == body || *p != '=')
            return fail();
        ++p;
        while (p < body && isSpace(*p))
            ++p;
        if (p == body || (*p != '"' && *p != '\''))
            return fail();
        const char *close = static_cast<const char *>(std::memchr(p + 1, *p, std::size_t(body - p - 1)));
        if (!close)
            return fail();
        attribute.raw = QByteArrayView(p + 1, close - p - 1);
        if (attribute.raw.contains('<'))
            return fail();
        if (std::any_of(attribute.raw.begin(), attribute.raw.end(), [](char c) { return c == '&' || c == '\r' || c == '\n' || c == '\t'; })) {
            attribute.resolvedAt = qsizetype(m_values.size());
            if (!resolve(attribute.raw, m_values, true))
                return fail();
            attribute.resolvedLength = qsizetype(m_values.size()) - attribute.resolvedAt;
        }
        found.push_back(attribute);
        p = close + 1;
    }
    for (const FoundAttribute &f : found)
        m_attributes.push_back({f.name, f.resolvedAt < 0 ? f.raw
                                                          : QByteArrayView(m_values.data() + f.resolvedAt, f.resolvedLength)});

    if (m_opened.empty() && m_rootSeen)
        return fail();
    m_rootSeen = true;
    m_name = localName(qualified);
    if (empty) {
        m_pendingName.assign(qualified.data(), std::size_t(qualified.size()));
        m_closePending = true;
    } else {
        if (m_opened.size() >= kMaxDepth)
            return fail();
        m_opened.push_back(m_open.size());
        m_open.append(qualified.data(), std::size_t(qualified.size()));
    }
    m_begin += end + 1;
    return m_token = Token::StartElement;
}

XmlScanner::Token XmlScanner::endTag(qsizetype end)
{
    const char *const tag = m_buffer.data() + m_begin;
    const char *stop = tag + end;
    while (stop > tag + 2 && isSpace(stop[-1]))
        --stop;
    const qsizetype length = nameLength(tag + 2, stop);
    if (length == 0 || tag + 2 + length != stop || m_opened.empty())
        return fail();
    const std::string_view open = std::string_view(m_open).substr(m_opened.back());
    if (open != std::string_view(tag + 2, std::size_t(length)))
        return fail();
    m_name = localName(QByteArrayView(tag + 2, length));
    m_open.resize(m_opened.back());
    m_opened.pop_back();
    m_begin += end + 1;
    return m_token = Token::EndElement;
}

QByteArrayView XmlScanner::attribute(QByteArrayView localName) const
{
    for (const Attribute &a : m_attributes)
        if (a.name == localName)
            return a.value;
    return {};
}

bool XmlScanner::hasAttribute(QByteArrayView localName) const
{
    return std::any_of(m_attributes.cbegin(), m_attributes.cend(), [&](const Attribute &a) { return a.name == localName; });
}

} // namespace xlsx
