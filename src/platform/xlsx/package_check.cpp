#include "platform/xlsx/package_check.h"

#include "platform/xlsx/zip_archive.h"

#include <algorithm>
#include <limits>

namespace xlsx {

namespace {

PackageCheck broken(const QString &why)
{
    return {false, why};
}

// The largest r="N" of the <row> elements met so far, found across the pieces the part inflates to.
class RowScanner final {
public:
    void feed(const char *data, qsizetype length)
    {
        const QByteArrayView piece(data, length);
        // A row's start may straddle two pieces: the end of the last one and the head of this one
        // are looked at together (a row found twice counts once: only the largest number is kept).
        if (!m_carry.isEmpty())
            scan(QByteArray(m_carry + piece.first(std::min<qsizetype>(length, kCarry)).toByteArray()));
        scan(piece);
        m_carry = piece.last(std::min<qsizetype>(length, kCarry)).toByteArray();
    }
    qint64 lastRow() const { return m_lastRow; }

private:
    static constexpr qsizetype kCarry = 32;

    void scan(QByteArrayView text)
    {
        static constexpr QByteArrayView marker("<row r=\"");
        qsizetype at = 0;
        while ((at = text.indexOf(marker, at)) >= 0) {
            qsizetype digit = at + marker.size();
            qint64 number = 0;
            while (digit < text.size() && text.at(digit) >= '0' && text.at(digit) <= '9' && number < 100000000)
                number = number * 10 + (text.at(digit++) - '0');
            if (digit < text.size())
                m_lastRow = std::max(m_lastRow, number);
            at = digit;
        }
    }

    QByteArray m_carry;
    qint64 m_lastRow = 0;
};

} // namespace

PackageCheck checkPackage(const QString &path, const QHash<QString, int> &lastRows)
{
    const ZipArchive zip(path);
    if (!zip.isOpen())
        return broken(QStringLiteral("no directory that reads"));

    QHash<QString, int> pending = lastRows;
    // One piece serves every part: each is read through, so the archive checks its size and
    // checksum, without holding it.
    QByteArray piece(1024 * 1024, Qt::Uninitialized);
    for (const QString &name : zip.names()) {
        const std::unique_ptr<QIODevice> part = zip.stream(name, std::numeric_limits<qint64>::max());
        if (!part)
            return broken(name + QStringLiteral(": cannot be opened"));
        RowScanner rows;
        const bool isSheet = name.startsWith(QLatin1String("xl/worksheets/")) && name.endsWith(QLatin1String(".xml"));
        for (;;) {
            const qint64 got = part->read(piece.data(), piece.size());
            if (got < 0)
                return broken(name + QStringLiteral(": size or checksum differs"));
            if (got == 0)
                break;
            if (isSheet)
                rows.feed(piece.constData(), got);
        }
        if (isSheet) {
            const int expected = pending.take(name);
            if (rows.lastRow() < expected)
                return broken(name + QStringLiteral(": ends at row %1 of %2").arg(rows.lastRow()).arg(expected));
        }
    }
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        if (it.value() > 0)
            return broken(it.key() + QStringLiteral(": missing"));
    return {true, {}};
}

} // namespace xlsx
