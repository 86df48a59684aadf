#pragma once

#include <QByteArrayView>
#include <QIODevice>

#include <memory>
#include <string>
#include <vector>

// A pull reader over expat for the XML of every workbook part, fed a piece at a time from the
// inflating part. Expat decides what is well-formed (characters XML forbids, duplicate attributes,
// undeclared prefixes, encodings); on top of it sit the bounds a workbook part never comes near:
// no document type (its entities are the classic way to make a small file expand without end),
// short names, shallow nesting, runs of text no cell could hold, a fixed amount of memory for expat
// itself, and how many bytes may go by that carry nothing the caller reads.
//
// Names, values and texts are handed out as UTF-8 views of the current token, valid until the
// next call to next().
namespace xlsx {

class XmlReader final {
public:
    enum class Token { StartElement, EndElement, Characters, EndOfDocument, Invalid };
    // Why the part was refused (Invalid).
    enum class Failure {
        None,
        Damaged,    // not well-formed, past a bound no workbook part comes near, or unreadable
        LongRun,    // a run of text longer than kMaxRun
        Filler      // more than the allowance of bytes that carry nothing read
    };

    explicit XmlReader(QIODevice &device);
    ~XmlReader();
    XmlReader(const XmlReader &) = delete;
    XmlReader &operator=(const XmlReader &) = delete;

    // The next token; EndOfDocument once the part ended well-formed (it was read to its end, so
    // its checksum was checked), Invalid (and from then on always Invalid) when refused.
    Token next();
    Token token() const { return m_token; }
    // The next start element, skipping everything else; EndOfDocument or Invalid as next().
    Token nextStartElement();
    Failure failure() const { return m_failure; }

    // The local name (any namespace left out) of the element that starts or ends.
    QByteArrayView name() const;
    // An attribute of the element that starts, by local name, one without a namespace first;
    // empty when it has none.
    QByteArrayView attribute(QByteArrayView localName) const;
    bool hasAttribute(QByteArrayView localName) const;
    // An attribute in a namespace (as r:id), whatever prefix the writer chose.
    QByteArrayView namespacedAttribute(QByteArrayView localName) const;
    // The characters: references resolved, line ends as "\n".
    QByteArrayView text() const;
    // Where the current token begins, in bytes of the part.
    qint64 offset() const;

    // Bytes of the part that may go by carrying nothing the caller reads: markup around what it
    // reads, and whatever a writer adds that no reader here looks at. The caller earns more with
    // allow() for each thing it reads (its own bytes, and its share of the markup around it).
    static constexpr qint64 kFreeBytes = 16LL * 1024 * 1024;
    void allow(qint64 bytes) { m_allowance += bytes; }

    // The most bytes without markup: a cell's text at Excel's longest, every character escaped,
    // with room to spare; a longer run is refused before expat gathers it.
    static constexpr qint64 kMaxRun = 1024 * 1024;
    // The deepest nesting read: workbook parts go a handful of elements deep.
    static constexpr int kMaxDepth = 256;
    // The longest element or attribute name, with its namespace: workbook parts use a few dozen bytes.
    static constexpr std::size_t kMaxName = 512;
    // The most attributes on one element: workbook elements carry a few, their roots a dozen
    // namespaces.
    static constexpr int kMaxAttributes = 64;
    // What expat may hold (its buffer, open elements, the names it keeps): a run at kMaxRun twice
    // over, with room for everything else. Past it expat is refused memory and the part is
    // damaged. With the queue of one piece's tokens (a run at kMaxRun and a few hundred kilobytes)
    // a reader holds a fixed amount whatever the part holds, so it is not taken from a reading's
    // budget, which counts what the part's contents make a reading keep.
    static constexpr qint64 kParserMemory = 6LL * 1024 * 1024;

private:
    struct Parser;
    struct Attribute {
        quint32 nameAt, nameLength;
        quint32 valueAt, valueLength;
        bool namespaced;
    };
    struct Event {
        Token token;
        qint64 offset;
        quint32 at, length;             // the name, or the characters
        quint32 firstAttribute, attributes;
    };

    bool refill();
    Token fail(Failure why);
    bool runWithinBound(const char *data, qint64 length);
    QByteArrayView view(quint32 at, quint32 length) const { return QByteArrayView(m_arena.data() + at, length); }
    const Event *current() const;

    // Expat's handlers.
    static void onStart(void *self, const char *name, const char **attributes);
    static void onEnd(void *self, const char *name);
    static void onCharacters(void *self, const char *text, int length);
    static void onDoctype(void *self, const char *, const char *, const char *, int);
    void refuse();
    quint32 store(const char *bytes, std::size_t length);

    QIODevice &m_device;
    std::unique_ptr<Parser> m_parser;
    Token m_token = Token::EndOfDocument;
    Failure m_failure = Failure::None;
    bool m_refused = false;        // a handler stopped expat at a bound
    bool m_ended = false;          // the part was read to its end
    int m_depth = 0;
    qint64 m_fed = 0;              // bytes handed to expat
    qint64 m_run = 0;              // bytes since the last '<'
    qint64 m_allowance = kFreeBytes;

    // The tokens of the last piece fed, their names, values and texts end to end in m_arena.
    std::vector<Event> m_events;
    std::vector<Attribute> m_attributes;
    std::string m_arena;
    std::size_t m_next = 0;        // the next event to hand out
};

} // namespace xlsx
