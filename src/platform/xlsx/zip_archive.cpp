#include "platform/xlsx/zip_archive.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace xlsx {

namespace {

constexpr quint32 kEndOfDirectory = 0x06054b50;
constexpr quint32 kDirectoryEntry = 0x02014b50;
constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint64 kEndOfDirectorySize = 22;
constexpr quint64 kDirectoryEntrySize = 46;
constexpr quint64 kLocalHeaderSize = 30;
constexpr quint16 kStored = 0;
constexpr quint16 kDeflated = 8;
constexpr quint16 kEncrypted = 0x0001;

quint16 u16(const uchar *p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const uchar *p) { return qFromLittleEndian<quint32>(p); }

} // namespace

ZipArchive::ZipArchive(const QString &path)
    : m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly) || m_file.size() < qint64(kEndOfDirectorySize))
        return;
    m_size = quint64(m_file.size());
    m_data = m_file.map(0, m_file.size());
    m_open = m_data && readDirectory();
}

bool ZipArchive::readDirectory()
{
    // The end record sits in the last 22 bytes plus at most a 65535-byte comment.
    const quint64 lowest = m_size > kEndOfDirectorySize + 0xFFFF ? m_size - kEndOfDirectorySize - 0xFFFF : 0;
    quint64 end = m_size - kEndOfDirectorySize;
    while (u32(m_data + end) != kEndOfDirectory) {
        if (end == lowest)
            return false;
        --end;
    }
    const uchar *eocd = m_data + end;
    const quint16 disk = u16(eocd + 4);
    const quint16 directoryDisk = u16(eocd + 6);
    const quint16 count = u16(eocd + 10);
    const quint32 directorySize = u32(eocd + 12);
    const quint32 directoryOffset = u32(eocd + 16);
    // Spanned archives and zip64 (its markers are all-ones values) are not workbooks Excel writes.
    if (disk != 0 || directoryDisk != 0 || count == 0xFFFF || directoryOffset == 0xFFFFFFFFu
        || quint64(directoryOffset) + directorySize > end)
        return false;

    quint64 at = directoryOffset;
    for (quint16 i = 0; i < count; ++i) {
        if (at + kDirectoryEntrySize > end || u32(m_data + at) != kDirectoryEntry)
            return false;
        const uchar *e = m_data + at;
        const quint16 nameLength = u16(e + 28);
        const quint16 extraLength = u16(e + 30);
        const quint16 commentLength = u16(e + 32);
        const quint64 next = at + kDirectoryEntrySize + nameLength + extraLength + commentLength;
        if (next > end)
            return false;
        Entry entry;
        entry.flags = u16(e + 8);
        entry.method = u16(e + 10);
        entry.crc = u32(e + 16);
        entry.compressedSize = u32(e + 20);
        entry.size = u32(e + 24);
        entry.localHeader = u32(e + 42);
        const QString name = QString::fromUtf8(reinterpret_cast<const char *>(e + kDirectoryEntrySize), nameLength);
        m_entries.insert(name.toLower(), entry);
        at = next;
    }
    return true;
}

bool ZipArchive::contains(const QString &name) const
{
    return m_entries.contains(name.toLower());
}

std::optional<QByteArray> ZipArchive::read(const QString &name) const
{
    if (!m_open)
        return std::nullopt;
    const auto it = m_entries.constFind(name.toLower());
    if (it == m_entries.cend())
        return std::nullopt;
    const Entry &entry = *it;
    if ((entry.flags & kEncrypted) || entry.size > quint64(kMaxPartSize)
        || (entry.method != kStored && entry.method != kDeflated))
        return std::nullopt;
    if (entry.localHeader + kLocalHeaderSize > m_size || u32(m_data + entry.localHeader) != kLocalHeader)
        return std::nullopt;
    const uchar *local = m_data + entry.localHeader;
    const quint64 start = entry.localHeader + kLocalHeaderSize + u16(local + 26) + u16(local + 28);
    if (start > m_size || entry.compressedSize > m_size - start)
        return std::nullopt;
    const uchar *packed = m_data + start;

    QByteArray data;
    if (entry.method == kStored) {
        if (entry.compressedSize != entry.size)
            return std::nullopt;
        data = QByteArray(reinterpret_cast<const char *>(packed), qsizetype(entry.size));
    } else {
        data.resize(qsizetype(entry.size));
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return std::nullopt;
        // zlib counts in uInt: feed and drain in pieces so parts past 4 GiB could never wrap.
        constexpr quint64 kPiece = std::numeric_limits<uInt>::max();
        quint64 fed = 0;
        int rc = Z_OK;
        stream.next_out = reinterpret_cast<Bytef *>(data.data());
        quint64 room = entry.size;
        while (rc == Z_OK) {
            if (stream.avail_in == 0 && fed < entry.compressedSize) {
                const quint64 piece = std::min(kPiece, entry.compressedSize - fed);
                stream.next_in = const_cast<Bytef *>(packed + fed);
                stream.avail_in = uInt(piece);
                fed += piece;
            }
            if (stream.avail_out == 0) {
                const quint64 piece = std::min(kPiece, room);
                stream.avail_out = uInt(piece);
                room -= piece;
            }
            const uInt inBefore = stream.avail_in;
            const uInt outBefore = stream.avail_out;
            rc = inflate(&stream, Z_NO_FLUSH);
            // No progress possible: input used up or output full before the stream's end.
            if (rc == Z_OK && stream.avail_in == inBefore && stream.avail_out == outBefore)
                rc = Z_BUF_ERROR;
            if (rc == Z_BUF_ERROR && stream.avail_out == 0 && room > 0)
                rc = Z_OK;
        }
        const quint64 produced = stream.total_out;
        inflateEnd(&stream);
        if (rc != Z_STREAM_END || produced != entry.size)
            return std::nullopt;
    }
    if (crc32_z(0L, reinterpret_cast<const Bytef *>(data.constData()), z_size_t(data.size())) != entry.crc)
        return std::nullopt;
    return data;
}

} // namespace xlsx
