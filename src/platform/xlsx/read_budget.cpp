#include "platform/xlsx/read_budget.h"

#include "platform/xlsx/xml_reader.h"

#include <algorithm>

namespace xlsx {

template <typename List>
bool TextTable::growList(List &list, ReadBudget &budget, Limit what)
{
    if (list.size() < list.capacity())
        return true;
    const std::size_t element = sizeof(typename List::value_type);
    const std::size_t grown = std::max<std::size_t>(16, list.capacity() * 2);
    // The old list and the new one are both alive while the elements move.
    if (!budget.take(qint64(grown * element), what))
        return false;
    const qint64 before = qint64(list.capacity() * element);
    list.reserve(grown);
    budget.giveBack(before);
    return true;
}

bool TextTable::roomForSpan(ReadBudget &budget, Limit what)
{
    if (!m_blocks.empty() && qsizetype(m_blocks.back().size()) < kSpansPerBlock) {
        std::vector<Span> &last = m_blocks.back();
        if (qsizetype(last.capacity()) >= kSpansPerBlock)
            return true;
        // A copied table's last block holds only what it had: it gets its whole size back.
        if (!budget.take(qint64((std::size_t(kSpansPerBlock) - last.capacity()) * sizeof(Span)), what))
            return false;
        last.reserve(std::size_t(kSpansPerBlock));
        return true;
    }
    if (!growList(m_blocks, budget, what) || !budget.take(qint64(sizeof(Span)) * kSpansPerBlock, what))
        return false;
    m_blocks.emplace_back().reserve(std::size_t(kSpansPerBlock));
    return true;
}

bool TextTable::roomForText(qsizetype length, ReadBudget &budget, Limit what)
{
    if (!m_pieces.empty() && m_pieces.back().size() + length <= m_pieces.back().capacity())
        return true;
    // Pieces grow with the table (a small workbook costs little), up to a fixed size.
    const qsizetype pieceSize =
        std::max(length, std::clamp(qsizetype(m_pieces.size()) * kPiece / 4, kFirstPiece, kPiece));
    if (!growList(m_pieces, budget, what) || !budget.take(qint64(pieceSize) * 2 + kPieceOverhead, what))
        return false;
    m_pieces.emplace_back();
    m_pieces.back().reserve(pieceSize);
    // The allocator may round a buffer up: what it gave is what is held.
    const qsizetype extra = m_pieces.back().capacity() - pieceSize;
    return extra <= 0 || budget.take(qint64(extra) * 2, what);
}

qsizetype TextTable::append(QStringView text, ReadBudget &budget, Limit what)
{
    const qsizetype length = text.size();
    if (!roomForSpan(budget, what) || !roomForText(length, budget, what))
        return -1;
    QString &piece = m_pieces.back();
    m_blocks.back().push_back({quint32(m_pieces.size() - 1), quint32(piece.size()), quint32(length)});
    piece.append(text);
    return m_count++;
}

QStringView TextTable::at(qsizetype index) const
{
    if (index < 0 || index >= m_count)
        return {};
    const Span &span = m_blocks[std::size_t(index / kSpansPerBlock)][std::size_t(index % kSpansPerBlock)];
    return QStringView(m_pieces[span.piece]).mid(span.offset, span.length);
}

qint64 TextTable::memory() const
{
    qint64 bytes = qint64(m_blocks.capacity() * sizeof(m_blocks[0]) + m_pieces.capacity() * sizeof(QString));
    for (const std::vector<Span> &block : m_blocks)
        bytes += qint64(block.capacity() * sizeof(Span));
    for (const QString &piece : m_pieces)
        bytes += qint64(piece.capacity()) * 2 + kPieceOverhead;
    return bytes;
}

QString spanishThousands(qint64 value)
{
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > (value < 0 ? 1 : 0); at -= 3)
        digits.insert(at, QLatin1Char('.'));
    return digits;
}

namespace {

// "16 MB": whole megabytes, at least one.
QString megabytes(qint64 bytes)
{
    return spanishThousands(std::max<qint64>(1, bytes / (1024 * 1024))) + QStringLiteral(" MB");
}

} // namespace

QString limitText(Limit limit, qint64 budgetBytes)
{
    const QString budget = megabytes(budgetBytes);
    switch (limit) {
    case Limit::Strings:
        return QStringLiteral("sus textos necesitan más de %1 de memoria.").arg(budget);
    case Limit::TextLength:
        return QStringLiteral("una de sus celdas tiene un texto de más de %1 caracteres, el máximo de Excel.")
            .arg(spanishThousands(kMaxTextLength));
    case Limit::Styles:
        return QStringLiteral("sus estilos (fuentes, rellenos, bordes y formatos de celda) pasan de %1 o necesitan más "
                              "de %2 de memoria.")
            .arg(spanishThousands(kMaxStyleEntries), budget);
    case Limit::Merges:
        return QStringLiteral("sus celdas combinadas necesitan más de %1 de memoria.").arg(budget);
    case Limit::Cells:
        return QStringLiteral("sus celdas necesitan más de %1 de memoria.").arg(budget);
    case Limit::Filler:
        return QStringLiteral("una de sus partes guarda más de %1 de XML sin celdas, textos ni estilos, más de lo "
                              "que guarda un libro de Excel.")
            .arg(megabytes(XmlReader::kFreeBytes));
    case Limit::None:
    case Limit::ExcelBounds:
        break;
    }
    return QStringLiteral("pasa de los límites de Excel (1.048.576 filas y 16.384 columnas).");
}

} // namespace xlsx
