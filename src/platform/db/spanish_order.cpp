#include "platform/db/spanish_order.h"

#include <QString>

namespace db {

namespace {

// The letter a character counts as at the first level: lower case without its accent; "ñ" gets
// a place of its own between "n" and "o" (weights are doubled to make room for it).
char32_t baseLetter(char32_t c)
{
    // Canonical decompositions start with the base letter ("á" is "a" + acute); follow them down.
    for (;;) {
        const QString parts = QChar::decomposition(c);
        if (parts.isEmpty() || QChar::decompositionTag(c) != QChar::Canonical)
            break;
        const char32_t first = parts.at(0).isHighSurrogate() && parts.size() > 1
                                   ? QChar::surrogateToUcs4(parts.at(0), parts.at(1))
                                   : parts.at(0).unicode();
        if (first == c)
            break;
        c = first;
    }
    return QChar::toLower(c);
}

quint64 primaryWeight(char32_t c)
{
    const char32_t lower = QChar::toLower(c);
    if (lower == U'ñ')
        return (quint64(U'n') << 1) | 1;
    return quint64(baseLetter(c)) << 1;
}

quint64 secondaryWeight(char32_t c)
{
    return quint64(QChar::toLower(c));
}

// Names are almost all Latin letters: their weights are looked up instead of worked out through
// Unicode tables at every comparison (a sort of many contacts makes millions of them).
constexpr char32_t kTabled = 0x800;

struct Weights {
    quint64 primary[kTabled];
    quint64 secondary[kTabled];
    Weights()
    {
        for (char32_t c = 0; c < kTabled; ++c) {
            primary[c] = primaryWeight(c);
            secondary[c] = secondaryWeight(c);
        }
    }
};

const Weights &weights()
{
    static const Weights table;
    return table;
}

// Code points of a UTF-16 text, surrogate pairs kept whole.
struct Utf16Reader {
    const QChar *it;
    const QChar *end;
    bool done() const { return it == end; }
    char32_t next()
    {
        const QChar first = *it++;
        if (first.isHighSurrogate() && it != end && it->isLowSurrogate())
            return QChar::surrogateToUcs4(first, *it++);
        return first.unicode();
    }
};

// Code points of a UTF-8 text as SQLite hands it over; a malformed byte reads as U+FFFD.
struct Utf8Reader {
    const unsigned char *it;
    const unsigned char *end;
    bool done() const { return it == end; }
    char32_t next()
    {
        const unsigned char lead = *it++;
        if (lead < 0x80)
            return lead;
        int extra = 0;
        char32_t c = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            c = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            c = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            c = lead & 0x07;
        } else {
            return 0xFFFD;
        }
        if (end - it < extra)
            return 0xFFFD;
        for (int i = 0; i < extra; ++i) {
            if ((it[i] & 0xC0) != 0x80)
                return 0xFFFD;
            c = (c << 6) | (it[i] & 0x3F);
        }
        it += extra;
        return c;
    }
};

template <typename Reader>
int compareBy(Reader a, Reader b, const quint64 *table, quint64 (*weigh)(char32_t))
{
    const auto key = [table, weigh](char32_t c) { return c < kTabled ? table[c] : weigh(c); };
    while (!a.done() && !b.done()) {
        const quint64 ka = key(a.next());
        const quint64 kb = key(b.next());
        if (ka != kb)
            return ka < kb ? -1 : 1;
    }
    if (a.done() && b.done())
        return 0;
    return a.done() ? -1 : 1;
}

template <typename Reader>
int compareTexts(Reader a, Reader b)
{
    const Weights &w = weights();
    if (const int primary = compareBy(a, b, w.primary, primaryWeight))
        return primary;
    // Same letters: the unaccented form first. Case alone makes no difference, as the old
    // database saw it; queries break such ties by `sid`.
    return compareBy(a, b, w.secondary, secondaryWeight);
}

} // namespace

QString foldCase(QStringView text)
{
    return text.toString().toCaseFolded();
}

int compareSpanish(QStringView a, QStringView b)
{
    return compareTexts(Utf16Reader{a.begin(), a.end()}, Utf16Reader{b.begin(), b.end()});
}

int compareSpanishUtf8(const char *a, qsizetype lengthA, const char *b, qsizetype lengthB)
{
    const auto *pa = reinterpret_cast<const unsigned char *>(a);
    const auto *pb = reinterpret_cast<const unsigned char *>(b);
    return compareTexts(Utf8Reader{pa, pa + lengthA}, Utf8Reader{pb, pb + lengthB});
}

} // namespace db
