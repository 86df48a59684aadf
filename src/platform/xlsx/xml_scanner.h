#pragma once

#include <QByteArrayView>
#include <QIODevice>
#include <QStringDecoder>

#include <optional>
#include <string>
#include <vector>

// A small pull reader for the XML of a workbook's bulky parts (sheets and shared texts), read
// straight from the inflating part a piece at a time. Names, values and texts are handed out as
// UTF-8 bytes where they lie, so reading a cell allocates nothing; a general XML reader spends most
// of an import building strings nobody keeps.
//
// It checks what makes a document well-formed as far as a reader of these parts can tell: one root,
// tags that nest and close, quoted attributes, known references, characters XML allows in a
// reference; a damaged part reads as invalid, never as fewer cells. Parts in UTF-16 are turned into
// UTF-8 as they are read. A document type declaration is refused (no workbook part has one, and
// its entities are the classic way to make a small file expand without end), and so is nesting
// deeper than kMaxDepth.
namespace xlsx {

class XmlScanner final {
public:
    enum class Token { StartElement, EndElement, Characters, EndOfDocument, Invalid };

    explicit XmlScanner(QIODevice &device);
    XmlScanner(const XmlScanner &) = delete;
    XmlScanner &operator=(const XmlScanner &) = delete;

    // The next token; EndOfDocument once the root has closed and the part ended, Invalid (and from
    // then on always Invalid) when the part is not well-formed or could not be read.
    Token next();
    Token token() const { return m_token; }
    // The next start element, skipping everything else; EndOfDocument or Invalid as next().
    Token nextStartElement();

    // The local name (any prefix left out) of the element that starts or ends.
    QByteArrayView name() const { return m_name; }
    // An attribute of the element that starts, by local name; empty when it has none.
    QByteArrayView attribute(QByteArrayView localName) const;
    bool hasAttribute(QByteArrayView localName) const;
    // The characters: references resolved, line ends as "\n".
    QByteArrayView text() const { return m_text; }

    // The most bytes one token (a tag, a run of text, a CDATA section) may take.
    static constexpr qsizetype kMaxToken = 4 * 1024 * 1024;
    // The deepest nesting read: workbook parts go a handful of elements deep, and every open
    // element is held until it closes.
    static constexpr std::size_t kMaxDepth = 256;

private:
    struct Attribute {
        QByteArrayView name;
        QByteArrayView value;
    };
    // An attribute while its tag is read: a value with references is resolved into m_values,
    // and its view made only once that no longer grows.
    struct FoundAttribute {
        QByteArrayView name;
        QByteArrayView raw;
        qsizetype resolvedAt = -1;
        qsizetype resolvedLength = 0;
    };

    Token fail();
    // At least `count` bytes from m_begin in the buffer; false at the end of the part.
    bool have(qsizetype count);
    // The offset from m_begin of the first `what` at or after `from`, reading on as needed.
    qsizetype find(QByteArrayView what, qsizetype from);
    qsizetype tagEnd();
    bool readMore();
    bool checkDeclaration(QByteArrayView declaration);
    Token startTag(qsizetype end);
    Token endTag(qsizetype end);
    Token characters(qsizetype end);
    bool resolve(QByteArrayView raw, std::string &out, bool attribute);

    QIODevice &m_device;
    std::vector<char> m_buffer;
    qsizetype m_begin = 0;        // the first unread byte
    qsizetype m_end = 0;          // past the last byte read
    bool m_atEnd = false;         // the device has given everything
    bool m_started = false;       // past the place a declaration may stand
    bool m_rootSeen = false;
    bool m_closePending = false;  // an empty element's end is due
    bool m_failed = false;        // the part could not be read, or a token outgrew kMaxToken
    bool m_encodingFixed = false; // a byte order mark said what the encoding is
    std::optional<QStringDecoder> m_decoder;   // a part not in UTF-8, turned into it as it is read

    Token m_token = Token::EndOfDocument;
    QByteArrayView m_name;
    QByteArrayView m_text;
    std::vector<Attribute> m_attributes;
    std::vector<FoundAttribute> m_found;
    std::string m_values;        // attribute values with references resolved
    std::string m_resolved;      // a text with references resolved
    std::string m_open;          // the qualified names of the open elements, end to end
    std::vector<std::size_t> m_opened;   // where each open element's name begins in m_open
    std::string m_pendingName;
};

} // namespace xlsx
