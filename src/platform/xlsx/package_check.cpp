#include "platform/xlsx/package_check.h"

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace xlsx {

namespace {

constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint32 kDirectoryEntry = 0x02014b50;
constexpr quint32 kEndOfDirectory = 0x06054b50;
constexpr quint32 kZip64EndOfDirectory = 0x06064b50;
constexpr quint32 kZip64Locator = 0x07064b50;
constexpr quint64 kEndSize = 22;
constexpr quint64 kLocatorSize = 20;
constexpr quint64 kZip64EndSize = 56;
constexpr quint64 kEntrySize = 46;
constexpr quint64 kLocalSize = 30;

quint16 u16(const uchar *p) { return quint16(p[0] | (p[1] << 8)); }
quint32 u32(const uchar *p) { return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24); }
quint64 u64(const uchar *p) { return quint64(u32(p)) | (quint64(u32(p + 4)) << 32); }

PackageCheck broken(const QString &why)
{
    return {false, why};
}

struct Entry {
    QString name;
    quint16 method = 0;
    quint32 crc = 0;
    quint64 packedSize = 0;
    quint64 size = 0;
    quint64 localHeader = 0;
};

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

// What a part is read and inflated through, a piece at a time; one pair serves every part.
struct Pieces {
    QByteArray packed{1024 * 1024, Qt::Uninitialized};
    QByteArray inflated{1024 * 1024, Qt::Uninitialized};
};

// The part inflated piece by piece, read from the file a piece at a time (a mapped workbook of a
// million rows would count whole against the process's memory): its size and checksum must be
// those the directory declares.
bool inflatePart(QFile &file, quint64 start, const Entry &e, Pieces &pieces, RowScanner *rows, QString &why)
{
    if (e.method != 0 && e.method != 8) {
        why = e.name + QStringLiteral(": unknown method");
        return false;
    }
    if (!file.seek(qint64(start))) {
        why = e.name + QStringLiteral(": cannot seek");
        return false;
    }
    z_stream stream{};
    if (e.method == 8 && inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        why = QStringLiteral("inflateInit failed");
        return false;
    }
    const auto done = [&](bool ok, const QString &reason = {}) {
        if (e.method == 8)
            inflateEnd(&stream);
        if (!ok)
            why = e.name + reason;
        return ok;
    };
    uLong crc = crc32_z(0L, nullptr, 0);
    quint64 produced = 0;
    quint64 left = e.packedSize;
    QByteArray &packed = pieces.packed;
    QByteArray &piece = pieces.inflated;
    const auto take = [&](const char *data, qsizetype length) {
        produced += quint64(length);
        crc = crc32_z(crc, reinterpret_cast<const Bytef *>(data), z_size_t(length));
        if (rows)
            rows->feed(data, length);
    };
    int status = Z_OK;
    while (left > 0 || (e.method == 8 && status != Z_STREAM_END)) {
        if (stream.avail_in == 0 && left > 0) {
            const qint64 got = file.read(packed.data(), qint64(std::min<quint64>(left, quint64(packed.size()))));
            if (got <= 0)
                return done(false, QStringLiteral(": cut short"));
            left -= quint64(got);
            if (e.method == 0) {
                take(packed.constData(), got);
                if (produced > e.size)
                    return done(false, QStringLiteral(": longer than declared"));
                continue;
            }
            stream.next_in = reinterpret_cast<Bytef *>(packed.data());
            stream.avail_in = uInt(got);
        }
        if (e.method == 0)
            continue;
        stream.next_out = reinterpret_cast<Bytef *>(piece.data());
        stream.avail_out = uInt(piece.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            return done(false, QStringLiteral(": damaged stream"));
        const qsizetype got = piece.size() - qsizetype(stream.avail_out);
        take(piece.constData(), got);
        if (produced > e.size)
            return done(false, QStringLiteral(": longer than declared"));
        if (status == Z_OK && got == 0 && stream.avail_in == 0 && left == 0)
            return done(false, QStringLiteral(": cut short"));
    }
    if (produced != e.size || crc != e.crc)
        return done(false, QStringLiteral(": size or checksum differs"));
    return done(true);
}

} // namespace

PackageCheck checkPackage(const QString &path, const QHash<QString, int> &lastRows)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return broken(QStringLiteral("cannot open: ") + file.errorString());
    const quint64 size = quint64(file.size());
    if (size < kEndSize)
        return broken(QStringLiteral("too short"));
    // The end records and the directory are read into memory (a few kilobytes); the parts are
    // read a piece at a time. Offsets are of the file; `held` holds the file from `base` on.
    const quint64 tail = std::min<quint64>(size, 64 * 1024);
    quint64 base = size - tail;
    QByteArray held;
    const auto readFrom = [&](quint64 from) {
        if (!file.seek(qint64(from)))
            return false;
        held = file.read(qint64(size - from));
        base = from;
        return quint64(held.size()) == size - from;
    };
    if (!readFrom(base))
        return broken(QStringLiteral("cannot read the end"));
    const auto at = [&](quint64 offset) { return reinterpret_cast<const uchar *>(held.constData()) + (offset - base); };

    // The writer leaves no comment: the end record closes the file. A package cut short has none.
    const uchar *end = at(size - kEndSize);
    if (u32(end) != kEndOfDirectory || u16(end + 20) != 0)
        return broken(QStringLiteral("no end record at the end of the file"));
    quint64 count = u16(end + 10);
    quint64 directorySize = u32(end + 12);
    quint64 directoryOffset = u32(end + 16);
    quint64 directoryEnd = size - kEndSize;
    if (size >= kEndSize + kLocatorSize && u32(end - kLocatorSize) == kZip64Locator) {
        const quint64 record = u64(end - kLocatorSize + 8);
        if (record < base || record + kZip64EndSize > size - kEndSize - kLocatorSize
            || u32(at(record)) != kZip64EndOfDirectory)
            return broken(QStringLiteral("damaged zip64 end record"));
        count = u64(at(record) + 32);
        directorySize = u64(at(record) + 40);
        directoryOffset = u64(at(record) + 48);
        directoryEnd = record;
    }
    if (directoryOffset > directoryEnd || directorySize != directoryEnd - directoryOffset)
        return broken(QStringLiteral("directory out of place"));
    if (directoryOffset < base) {
        if (size - directoryOffset > 64 * 1024 * 1024 || !readFrom(directoryOffset))
            return broken(QStringLiteral("cannot read the directory"));
    }

    QHash<QString, int> pending = lastRows;
    Pieces pieces;
    quint64 entryAt = directoryOffset;
    for (quint64 i = 0; i < count; ++i) {
        if (entryAt + kEntrySize > directoryEnd || u32(at(entryAt)) != kDirectoryEntry)
            return broken(QStringLiteral("damaged directory"));
        const uchar *d = at(entryAt);
        const quint16 nameLength = u16(d + 28);
        const quint16 extraLength = u16(d + 30);
        const quint16 commentLength = u16(d + 32);
        const quint64 next = entryAt + kEntrySize + nameLength + extraLength + commentLength;
        if (next > directoryEnd)
            return broken(QStringLiteral("damaged directory"));
        Entry e;
        e.name = QString::fromUtf8(reinterpret_cast<const char *>(d + kEntrySize), nameLength);
        e.method = u16(d + 10);
        e.crc = u32(d + 16);
        e.packedSize = u32(d + 20);
        e.size = u32(d + 24);
        e.localHeader = u32(d + 42);
        // Sizes and offsets that do not fit 32 bits are in the zip64 extra field, in this order.
        const uchar *extra = d + kEntrySize + nameLength;
        const uchar *extraEnd = extra + extraLength;
        while (extra + 4 <= extraEnd) {
            const quint16 id = u16(extra);
            const quint16 length = u16(extra + 2);
            const uchar *field = extra + 4;
            if (field + length > extraEnd)
                return broken(QStringLiteral("damaged extra field"));
            if (id == 0x0001) {
                const uchar *value = field;
                const auto take = [&](quint64 &target) {
                    if (value + 8 <= field + length) {
                        target = u64(value);
                        value += 8;
                    }
                };
                if (e.size == 0xFFFFFFFFu)
                    take(e.size);
                if (e.packedSize == 0xFFFFFFFFu)
                    take(e.packedSize);
                if (e.localHeader == 0xFFFFFFFFu)
                    take(e.localHeader);
            }
            extra = field + length;
        }
        uchar local[kLocalSize];
        if (e.localHeader + kLocalSize > directoryOffset || !file.seek(qint64(e.localHeader))
            || file.read(reinterpret_cast<char *>(local), qint64(kLocalSize)) != qint64(kLocalSize)
            || u32(local) != kLocalHeader)
            return broken(e.name + QStringLiteral(": no local header"));
        const quint64 start = e.localHeader + kLocalSize + u16(local + 26) + u16(local + 28);
        if (start > directoryOffset || e.packedSize > directoryOffset - start)
            return broken(e.name + QStringLiteral(": runs past the directory"));

        RowScanner rows;
        const bool isSheet = e.name.startsWith(QLatin1String("xl/worksheets/")) && e.name.endsWith(QLatin1String(".xml"));
        QString why;
        if (!inflatePart(file, start, e, pieces, isSheet ? &rows : nullptr, why))
            return broken(why);
        if (isSheet) {
            const int expected = pending.take(e.name);
            if (rows.lastRow() < expected)
                return broken(e.name + QStringLiteral(": ends at row %1 of %2").arg(rows.lastRow()).arg(expected));
        }
        entryAt = next;
    }
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        if (it.value() > 0)
            return broken(it.key() + QStringLiteral(": missing"));
    return {true, {}};
}

} // namespace xlsx
