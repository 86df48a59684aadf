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
        // A piece may end inside `<row r="123`: keep a tail long enough to hold one.
        m_window.append(data, length);
        static const QByteArray marker = QByteArrayLiteral("<row r=\"");
        const qsizetype size = m_window.size();
        qsizetype keepFrom = std::max<qsizetype>(0, size - marker.size() + 1);
        qsizetype at = 0;
        while ((at = m_window.indexOf(marker, at)) >= 0) {
            qsizetype digit = at + marker.size();
            qint64 number = 0;
            while (digit < size && m_window.at(digit) >= '0' && m_window.at(digit) <= '9' && number < 10000000)
                number = number * 10 + (m_window.at(digit++) - '0');
            if (digit == size) {
                keepFrom = at;    // the number may go on in the next piece
                break;
            }
            m_lastRow = std::max(m_lastRow, number);
            at = digit;
        }
        m_window.remove(0, keepFrom);
    }
    qint64 lastRow() const { return m_lastRow; }

private:
    QByteArray m_window;
    qint64 m_lastRow = 0;
};

// The part inflated piece by piece: its size and checksum must be those the directory declares.
bool inflatePart(const uchar *packed, const Entry &e, RowScanner *rows, QString &why)
{
    uLong crc = crc32_z(0L, nullptr, 0);
    quint64 produced = 0;
    if (e.method == 0) {
        if (e.packedSize != e.size) {
            why = e.name + QStringLiteral(": stored sizes differ");
            return false;
        }
        crc = crc32_z(crc, packed, z_size_t(e.size));
        if (rows)
            rows->feed(reinterpret_cast<const char *>(packed), qsizetype(e.size));
        produced = e.size;
    } else if (e.method == 8) {
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
            why = QStringLiteral("inflateInit failed");
            return false;
        }
        QByteArray piece(256 * 1024, Qt::Uninitialized);
        quint64 left = e.packedSize;
        const uchar *in = packed;
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            if (stream.avail_in == 0) {
                const uInt take = uInt(std::min<quint64>(left, 1u << 30));
                stream.next_in = const_cast<Bytef *>(in);
                stream.avail_in = take;
                in += take;
                left -= take;
            }
            stream.next_out = reinterpret_cast<Bytef *>(piece.data());
            stream.avail_out = uInt(piece.size());
            status = inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) {
                inflateEnd(&stream);
                why = e.name + QStringLiteral(": damaged stream");
                return false;
            }
            const qsizetype got = piece.size() - qsizetype(stream.avail_out);
            produced += quint64(got);
            if (produced > e.size) {
                inflateEnd(&stream);
                why = e.name + QStringLiteral(": longer than declared");
                return false;
            }
            crc = crc32_z(crc, reinterpret_cast<const Bytef *>(piece.constData()), z_size_t(got));
            if (rows)
                rows->feed(piece.constData(), got);
            if (status == Z_OK && got == 0 && stream.avail_in == 0 && left == 0) {
                inflateEnd(&stream);
                why = e.name + QStringLiteral(": cut short");
                return false;
            }
        }
        inflateEnd(&stream);
    } else {
        why = e.name + QStringLiteral(": unknown method");
        return false;
    }
    if (produced != e.size || crc != e.crc) {
        why = e.name + QStringLiteral(": size or checksum differs");
        return false;
    }
    return true;
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
    const uchar *data = file.map(0, qint64(size));
    if (!data)
        return broken(QStringLiteral("cannot map"));

    // The writer leaves no comment: the end record closes the file. A package cut short has none.
    const uchar *end = data + size - kEndSize;
    if (u32(end) != kEndOfDirectory || u16(end + 20) != 0)
        return broken(QStringLiteral("no end record at the end of the file"));
    quint64 count = u16(end + 10);
    quint64 directorySize = u32(end + 12);
    quint64 directoryOffset = u32(end + 16);
    quint64 directoryEnd = size - kEndSize;
    if (size >= kEndSize + kLocatorSize && u32(end - kLocatorSize) == kZip64Locator) {
        const quint64 record = u64(end - kLocatorSize + 8);
        if (record + kZip64EndSize > size - kEndSize - kLocatorSize || u32(data + record) != kZip64EndOfDirectory)
            return broken(QStringLiteral("damaged zip64 end record"));
        count = u64(data + record + 32);
        directorySize = u64(data + record + 40);
        directoryOffset = u64(data + record + 48);
        directoryEnd = record;
    }
    if (directoryOffset > directoryEnd || directorySize != directoryEnd - directoryOffset)
        return broken(QStringLiteral("directory out of place"));

    QHash<QString, int> pending = lastRows;
    quint64 at = directoryOffset;
    for (quint64 i = 0; i < count; ++i) {
        if (at + kEntrySize > directoryEnd || u32(data + at) != kDirectoryEntry)
            return broken(QStringLiteral("damaged directory"));
        const uchar *d = data + at;
        const quint16 nameLength = u16(d + 28);
        const quint16 extraLength = u16(d + 30);
        const quint16 commentLength = u16(d + 32);
        const quint64 next = at + kEntrySize + nameLength + extraLength + commentLength;
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
        if (e.localHeader + kLocalSize > directoryOffset || u32(data + e.localHeader) != kLocalHeader)
            return broken(e.name + QStringLiteral(": no local header"));
        const uchar *local = data + e.localHeader;
        const quint64 start = e.localHeader + kLocalSize + u16(local + 26) + u16(local + 28);
        if (start > directoryOffset || e.packedSize > directoryOffset - start)
            return broken(e.name + QStringLiteral(": runs past the directory"));

        RowScanner rows;
        const bool isSheet = e.name.startsWith(QLatin1String("xl/worksheets/")) && e.name.endsWith(QLatin1String(".xml"));
        QString why;
        if (!inflatePart(data + start, e, isSheet ? &rows : nullptr, why))
            return broken(why);
        if (isSheet) {
            const int expected = pending.take(e.name);
            if (rows.lastRow() < expected)
                return broken(e.name + QStringLiteral(": ends at row %1 of %2").arg(rows.lastRow()).arg(expected));
        }
        at = next;
    }
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        if (it.value() > 0)
            return broken(it.key() + QStringLiteral(": missing"));
    return {true, {}};
}

} // namespace xlsx
