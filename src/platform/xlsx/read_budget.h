#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// What reading a workbook may hold in memory. Everything a reading keeps (shared texts, styles,
// merged ranges, the cells it holds) is counted in bytes against one budget: a refused file costs
// at most about the budget, whatever it declares, and the refusal can say which part passed it.
namespace xlsx {

// About half a gigabyte: a sheet at Excel's own limits (1,048,576 rows of 8 columns of ordinary
// contact data) fits with room to spare.
inline constexpr qint64 kMemoryBudget = 512LL * 1024 * 1024;
// Excel keeps at most this many characters in a cell.
inline constexpr qsizetype kMaxTextLength = 32767;
// Excel keeps at most 64,000 cell formats in a workbook; a styles part listing more fonts, fills,
// borders or formats than this was not written by it.
inline constexpr qint64 kMaxStyleEntries = 65536;

// Which bound a workbook passed.
enum class Limit {
    None,
    ExcelBounds,    // a row or a column past Excel's last
    Strings,        // the texts of the cells
    TextLength,     // one text longer than a cell can hold
    Styles,         // fonts, fills, borders and cell formats
    Merges,         // merged ranges
    Cells,          // the cells held
    Filler          // bytes of a part that carry no cell, text or style
};

class ReadBudget final {
public:
    explicit ReadBudget(qint64 bytes = kMemoryBudget) : m_total(bytes), m_left(bytes) {}

    // Takes `bytes` for `what` from the budget; false (and remembered) once the budget is passed.
    bool take(qint64 bytes, Limit what)
    {
        if (m_passed != Limit::None)
            return false;
        m_left -= bytes;
        if (m_left < 0)
            m_passed = what;
        return m_left >= 0;
    }
    // Gives back what was taken for something no longer held.
    void giveBack(qint64 bytes) { m_left += bytes; }
    // Whether `bytes` more could still be taken, without taking: for sizes a file declares ahead.
    bool fits(qint64 bytes) const { return m_passed == Limit::None && bytes >= 0 && bytes <= m_left; }
    // A bound passed that is not a matter of bytes (a text too long, a row past Excel's last).
    void refuse(Limit what)
    {
        if (m_passed == Limit::None)
            m_passed = what;
    }

    Limit passed() const { return m_passed; }
    qint64 total() const { return m_total; }
    qint64 used() const { return m_total - m_left; }

private:
    qint64 m_total;
    qint64 m_left;
    Limit m_passed = Limit::None;
};

// Texts stored end to end in pieces of a fixed size, so a table of millions of short texts costs
// their characters and 12 bytes each, and growing it never copies what is already held. Every
// allocation is taken from the budget as it is made, at its full size: pieces and the blocks of
// spans that place each text in them are of fixed sizes, never grown by doubling.
class TextTable final {
public:
    // What each text costs besides its characters: its span.
    static constexpr qint64 kCostPerText = 12;

    // The new text's index; -1 when the budget does not hold it (nothing is added then).
    qsizetype append(QStringView text, ReadBudget &budget, Limit what = Limit::Strings);
    QStringView at(qsizetype index) const;
    qsizetype size() const { return m_count; }
    // What the table holds, in bytes.
    qint64 memory() const;

private:
    struct Span {
        quint32 piece;
        quint32 offset;
        quint32 length;
    };
    static_assert(sizeof(Span) == kCostPerText);
    static constexpr qsizetype kPiece = qsizetype(1) << 20;     // characters
    static constexpr qsizetype kFirstPiece = qsizetype(1) << 12;
    static constexpr qsizetype kSpansPerBlock = qsizetype(1) << 12;
    // What a QString's buffer costs besides its characters.
    static constexpr qint64 kPieceOverhead = 32;

    // Room for one more span; false when the budget does not hold its block.
    bool roomForSpan(ReadBudget &budget, Limit what);
    // Room for `length` more characters in the last piece; false when the budget does not hold one.
    bool roomForText(qsizetype length, ReadBudget &budget, Limit what);
    // Makes `list` hold one more element, taking a larger list's size (old and new together while
    // it moves) and giving back the old one's size.
    template <typename List>
    static bool growList(List &list, ReadBudget &budget, Limit what);

    std::vector<QString> m_pieces;
    std::vector<std::vector<Span>> m_blocks;     // each of kSpansPerBlock, reserved whole
    qsizetype m_count = 0;
};

// "3.000.000": points between thousands, as the user reads numbers.
QString spanishThousands(qint64 value);
// What passed the limit, for the message that refuses the file: a clause that ends the sentence
// "El archivo ... es demasiado grande para importarlo: ".
QString limitText(Limit limit, qint64 budgetBytes = kMemoryBudget);

} // namespace xlsx
