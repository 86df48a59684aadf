#include "platform/xlsx/xml_reader.h"

#include <expat.h>

#include <cstdlib>
#include <cstring>

static_assert(XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4),
              "expat 2.4 or later guards against entities that expand");

namespace xlsx {

namespace {

// Expat hands out "namespace\x01local" for a name in a namespace.
constexpr char kSeparator = '\x01';
// How much of the part is fed at a time: the tokens of one piece are queued, a few hundred
// kilobytes at most.
constexpr int kPiece = 16 * 1024;

// What one parser holds, counted as expat allocates and frees, up to a cap.
struct ParserMemory {
    qint64 held = 0;
    qint64 cap = XmlReader::kParserMemory;
};

// Expat's memory functions take no context: the parser being created or fed is the one whose memory
// counts, named here for the length of that call. Each block remembers its parser, so freeing and
// growing need no context.
thread_local ParserMemory *t_paying = nullptr;

struct alignas(std::max_align_t) BlockHeader {
    ParserMemory *payer;
    std::size_t size;
};

bool fits(const ParserMemory *payer, std::size_t before, std::size_t after)
{
    return !payer || payer->held - qint64(before) + qint64(after) <= payer->cap;
}

void *allocate(std::size_t size)
{
    ParserMemory *payer = t_paying;
    if (!fits(payer, 0, size))
        return nullptr;
    auto *block = static_cast<BlockHeader *>(std::malloc(sizeof(BlockHeader) + size));
    if (!block)
        return nullptr;
    *block = {payer, size};
    if (payer)
        payer->held += qint64(size);
    return block + 1;
}

void *reallocate(void *memory, std::size_t size)
{
    if (!memory)
        return allocate(size);
    BlockHeader *block = static_cast<BlockHeader *>(memory) - 1;
    ParserMemory *payer = block->payer;
    const std::size_t before = block->size;
    if (!fits(payer, before, size))
        return nullptr;
    auto *grown = static_cast<BlockHeader *>(std::realloc(block, sizeof(BlockHeader) + size));
    if (!grown)
        return nullptr;
    grown->size = size;
    if (payer)
        payer->held += qint64(size) - qint64(before);
    return grown + 1;
}

void release(void *memory)
{
    if (!memory)
        return;
    BlockHeader *block = static_cast<BlockHeader *>(memory) - 1;
    if (block->payer)
        block->payer->held -= qint64(block->size);
    std::free(block);
}

const XML_Memory_Handling_Suite kMemorySuite{allocate, reallocate, release};

// Names `memory` as the one whose memory counts for the length of a call into expat.
class Paying final {
public:
    explicit Paying(ParserMemory &memory) : m_before(t_paying) { t_paying = &memory; }
    ~Paying() { t_paying = m_before; }
    Paying(const Paying &) = delete;
    Paying &operator=(const Paying &) = delete;

private:
    ParserMemory *m_before;
};

// The local part of an expat name, and whether it has a namespace.
QByteArrayView localName(const char *name, std::size_t length, bool &namespaced)
{
    const void *separator = std::memchr(name, kSeparator, length);
    namespaced = separator != nullptr;
    if (!separator)
        return QByteArrayView(name, qsizetype(length));
    const char *local = static_cast<const char *>(separator) + 1;
    return QByteArrayView(local, qsizetype(name + length - local));
}

} // namespace

struct XmlReader::Parser {
    ParserMemory memory;
    XML_Parser parser = nullptr;
    ~Parser()
    {
        if (parser) {
            Paying paying(memory);
            XML_ParserFree(parser);
        }
    }
};

XmlReader::XmlReader(QIODevice &device) : m_device(device), m_parser(std::make_unique<Parser>())
{
    Paying paying(m_parser->memory);
    XML_Parser parser = XML_ParserCreate_MM(nullptr, &kMemorySuite, "\x01");
    m_parser->parser = parser;
    if (!parser) {
        m_failure = Failure::Damaged;
        m_token = Token::Invalid;
        return;
    }
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &XmlReader::onStart, &XmlReader::onEnd);
    XML_SetCharacterDataHandler(parser, &XmlReader::onCharacters);
    XML_SetStartDoctypeDeclHandler(parser, &XmlReader::onDoctype);
    // No external entities, ever; and expat's own guard against entities that expand stays on
    // (its default since 2.4), behind the refusal of any document type.
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlReader::~XmlReader() = default;

void XmlReader::refuse()
{
    m_refused = true;
    XML_StopParser(m_parser->parser, XML_FALSE);
}

quint32 XmlReader::store(const char *bytes, std::size_t length)
{
    const auto at = quint32(m_arena.size());
    m_arena.append(bytes, length);
    return at;
}

void XmlReader::onStart(void *self, const char *name, const char **attributes)
{
    auto &r = *static_cast<XmlReader *>(self);
    if (r.m_refused)
        return;
    const std::size_t nameLength = std::strlen(name);
    if (++r.m_depth > kMaxDepth || nameLength > kMaxName)
        return r.refuse();
    bool namespaced = false;
    const QByteArrayView local = localName(name, nameLength, namespaced);
    Event event{Token::StartElement, qint64(XML_GetCurrentByteIndex(r.m_parser->parser)), 0, quint32(local.size()),
                quint32(r.m_attributes.size()), 0};
    event.at = r.store(local.data(), std::size_t(local.size()));
    for (const char **a = attributes; a[0]; a += 2) {
        const std::size_t length = std::strlen(a[0]);
        if (length > kMaxName || ++event.attributes > quint32(kMaxAttributes))
            return r.refuse();
        const QByteArrayView attributeName = localName(a[0], length, namespaced);
        Attribute attribute{0, quint32(attributeName.size()), 0, 0, namespaced};
        attribute.nameAt = r.store(attributeName.data(), std::size_t(attributeName.size()));
        const std::size_t valueLength = std::strlen(a[1]);
        attribute.valueAt = r.store(a[1], valueLength);
        attribute.valueLength = quint32(valueLength);
        r.m_attributes.push_back(attribute);
    }
    r.m_events.push_back(event);
}

void XmlReader::onEnd(void *self, const char *name)
{
    auto &r = *static_cast<XmlReader *>(self);
    if (r.m_refused)
        return;
    --r.m_depth;
    // The end of an empty element follows its start at once: it names what the start named.
    if (!r.m_events.empty() && r.m_events.back().token == Token::StartElement) {
        const Event &start = r.m_events.back();
        r.m_events.push_back({Token::EndElement, start.offset, start.at, start.length, 0, 0});
        return;
    }
    bool namespaced = false;
    const QByteArrayView local = localName(name, std::strlen(name), namespaced);
    Event event{Token::EndElement, qint64(XML_GetCurrentByteIndex(r.m_parser->parser)), 0, quint32(local.size()), 0, 0};
    event.at = r.store(local.data(), std::size_t(local.size()));
    r.m_events.push_back(event);
}

void XmlReader::onCharacters(void *self, const char *text, int length)
{
    auto &r = *static_cast<XmlReader *>(self);
    if (r.m_refused || length <= 0)
        return;
    // Expat hands a run of text over in several calls (at each line end and reference): they
    // make one token, as they stand together at the end of the arena.
    if (!r.m_events.empty() && r.m_events.back().token == Token::Characters) {
        r.m_arena.append(text, std::size_t(length));
        r.m_events.back().length += quint32(length);
        return;
    }
    Event event{Token::Characters, qint64(XML_GetCurrentByteIndex(r.m_parser->parser)), 0, quint32(length), 0, 0};
    event.at = r.store(text, std::size_t(length));
    r.m_events.push_back(event);
}

void XmlReader::onDoctype(void *self, const char *, const char *, const char *, int)
{
    static_cast<XmlReader *>(self)->refuse();
}

XmlReader::Token XmlReader::fail(Failure why)
{
    if (m_failure == Failure::None)
        m_failure = why;
    m_events.clear();
    m_next = 0;
    return m_token = Token::Invalid;
}

bool XmlReader::runWithinBound(const char *data, qint64 length)
{
    const char *lastOpen = nullptr;
    for (const char *p = data + length; p > data;)
        if (*--p == '<') {
            lastOpen = p;
            break;
        }
    if (!lastOpen) {
        m_run += length;
        return m_run <= kMaxRun;
    }
    // The run up to the first '<' belongs to the one carried over.
    const char *firstOpen = static_cast<const char *>(std::memchr(data, '<', std::size_t(length)));
    if (m_run + (firstOpen - data) > kMaxRun)
        return false;
    // Runs wholly inside this piece.
    for (const char *p = firstOpen; p < lastOpen;) {
        const char *next = static_cast<const char *>(std::memchr(p + 1, '<', std::size_t(lastOpen - p)));
        if (next - p > kMaxRun)
            return false;
        p = next;
    }
    m_run = (data + length) - lastOpen;
    return true;
}

// Feeds expat until it hands over tokens or the part ends; false when refused.
bool XmlReader::refill()
{
    m_events.clear();
    m_attributes.clear();
    m_arena.clear();
    m_next = 0;
    XML_Parser parser = m_parser->parser;
    while (m_events.empty() && !m_ended) {
        if (m_fed > m_allowance) {
            fail(Failure::Filler);
            return false;
        }
        Paying paying(m_parser->memory);
        void *buffer = XML_GetBuffer(parser, kPiece);
        if (!buffer) {
            fail(Failure::Damaged);
            return false;
        }
        const qint64 got = m_device.read(static_cast<char *>(buffer), kPiece);
        if (got < 0) {
            fail(Failure::Damaged);
            return false;
        }
        if (!runWithinBound(static_cast<const char *>(buffer), got)) {
            fail(Failure::LongRun);
            return false;
        }
        m_fed += got;
        m_ended = got == 0;
        if (XML_ParseBuffer(parser, int(got), m_ended) != XML_STATUS_OK) {
            fail(Failure::Damaged);
            return false;
        }
    }
    return true;
}

const XmlReader::Event *XmlReader::current() const
{
    return m_next > 0 && m_next <= m_events.size() ? &m_events[m_next - 1] : nullptr;
}

XmlReader::Token XmlReader::next()
{
    if (m_token == Token::Invalid)
        return m_token;
    if (m_next >= m_events.size()) {
        if (m_ended || !refill()) {
            if (m_token != Token::Invalid)
                m_token = Token::EndOfDocument;
            return m_token;
        }
        if (m_events.empty())
            return m_token = Token::EndOfDocument;
    }
    return m_token = m_events[m_next++].token;
}

XmlReader::Token XmlReader::nextStartElement()
{
    for (;;) {
        const Token t = next();
        if (t == Token::StartElement || t == Token::EndOfDocument || t == Token::Invalid)
            return t;
    }
}

QByteArrayView XmlReader::name() const
{
    const Event *event = current();
    return event && event->token != Token::Characters ? view(event->at, event->length) : QByteArrayView();
}

QByteArrayView XmlReader::text() const
{
    const Event *event = current();
    return event && event->token == Token::Characters ? view(event->at, event->length) : QByteArrayView();
}

qint64 XmlReader::offset() const
{
    const Event *event = current();
    return event ? event->offset : m_fed;
}

namespace {

template <typename Attributes, typename Match>
const auto *findAttribute(const Attributes &all, quint32 first, quint32 count, Match match)
{
    for (quint32 i = first; i < first + count; ++i)
        if (match(all[i]))
            return &all[i];
    return static_cast<decltype(&all[0])>(nullptr);
}

} // namespace

QByteArrayView XmlReader::attribute(QByteArrayView localName) const
{
    const Event *event = current();
    if (!event || event->token != Token::StartElement)
        return {};
    const auto named = [&](const Attribute &a, bool namespaced) {
        return a.namespaced == namespaced && view(a.nameAt, a.nameLength) == localName;
    };
    const Attribute *found = findAttribute(m_attributes, event->firstAttribute, event->attributes,
                                           [&](const Attribute &a) { return named(a, false); });
    if (!found)
        found = findAttribute(m_attributes, event->firstAttribute, event->attributes,
                              [&](const Attribute &a) { return named(a, true); });
    return found ? view(found->valueAt, found->valueLength) : QByteArrayView();
}

bool XmlReader::hasAttribute(QByteArrayView localName) const
{
    const Event *event = current();
    if (!event || event->token != Token::StartElement)
        return false;
    return findAttribute(m_attributes, event->firstAttribute, event->attributes, [&](const Attribute &a) {
        return view(a.nameAt, a.nameLength) == localName;
    }) != nullptr;
}

QByteArrayView XmlReader::namespacedAttribute(QByteArrayView localName) const
{
    const Event *event = current();
    if (!event || event->token != Token::StartElement)
        return {};
    const Attribute *found = findAttribute(m_attributes, event->firstAttribute, event->attributes,
                                           [&](const Attribute &a) {
                                               return a.namespaced && view(a.nameAt, a.nameLength) == localName;
                                           });
    return found ? view(found->valueAt, found->valueLength) : QByteArrayView();
}

} // namespace xlsx
