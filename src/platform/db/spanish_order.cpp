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

template <typename Key>
int compareBy(QStringView a, QStringView b, Key key)
{
    // Walks both texts by code point, so letters outside the Basic Multilingual Plane stay whole.
    auto next = [](QStringView text, const QChar *&it) -> char32_t {
        const QChar first = *it++;
        if (first.isHighSurrogate() && it != text.end() && it->isLowSurrogate())
            return QChar::surrogateToUcs4(first, *it++);
        return first.unicode();
    };
    const QChar *pa = a.begin();
    const QChar *pb = b.begin();
    while (pa != a.end() && pb != b.end()) {
        const auto ka = key(next(a, pa));
        const auto kb = key(next(b, pb));
        if (ka != kb)
            return ka < kb ? -1 : 1;
    }
    if (pa == a.end() && pb == b.end())
        return 0;
    return pa == a.end() ? -1 : 1;
}

} // namespace

int compareSpanish(QStringView a, QStringView b)
{
    if (const int primary = compareBy(a, b, primaryWeight))
        return primary;
    // Same letters: the unaccented form first. Case alone makes no difference, as the old
    // database saw it; queries break such ties by `sid`.
    return compareBy(a, b, [](char32_t c) { return quint64(QChar::toLower(c)); });
}

} // namespace db
