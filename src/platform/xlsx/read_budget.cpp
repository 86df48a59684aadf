#include "platform/xlsx/read_budget.h"

#include <algorithm>

namespace xlsx {

qsizetype TextTable::append(QStringView text, ReadBudget &budget, Limit what)
{
    const qsizetype length = text.size();
    const bool newPiece = m_pieces.empty() || m_pieces.back().size() + length > m_pieces.back().capacity();
    // Pieces grow with the table (a small workbook costs little), up to a fixed size.
    const qsizetype pieceSize =
        std::max(length, std::clamp(qsizetype(m_pieces.size()) * kPiece / 4, kFirstPiece, kPiece));
    const qint64 cost = qint64(sizeof(Span)) + (newPiece ? qint64(pieceSize) * 2 : 0);
    if (!budget.take(cost, what))
        return -1;
    if (newPiece) {
        m_pieces.emplace_back();
        m_pieces.back().reserve(pieceSize);
    }
    QString &piece = m_pieces.back();
    m_spans.push_back({quint32(m_pieces.size() - 1), quint32(piece.size()), quint32(length)});
    piece.append(text);
    return qsizetype(m_spans.size()) - 1;
}

QStringView TextTable::at(qsizetype index) const
{
    if (index < 0 || index >= size())
        return {};
    const Span &span = m_spans[size_t(index)];
    return QStringView(m_pieces[span.piece]).mid(span.offset, span.length);
}

qint64 TextTable::memory() const
{
    qint64 bytes = qint64(m_spans.capacity() * sizeof(Span));
    for (const QString &piece : m_pieces)
        bytes += qint64(piece.capacity()) * 2;
    return bytes;
}

QString spanishThousands(qint64 value)
{
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > (value < 0 ? 1 : 0); at -= 3)
        digits.insert(at, QLatin1Char('.'));
    return digits;
}

QString limitText(Limit limit, qint64 budgetBytes)
{
    const QString budget = spanishThousands(std::max<qint64>(1, budgetBytes / (1024 * 1024))) + QStringLiteral(" MB");
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
    case Limit::None:
    case Limit::ExcelBounds:
        break;
    }
    return QStringLiteral("pasa de los límites de Excel (1.048.576 filas y 16.384 columnas).");
}

} // namespace xlsx
