#include "platform/xlsx/zip_archive.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>
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

// One part inflated as it is read, a piece at a time: the sheet reader pulls the XML from here, so
// a sheet of any declared size costs the memory of one piece, not of the sheet. It never gives
// more bytes than the part declares, and at the end checks the CRC; a mismatch, a damaged stream
// or a longer one is a read error.
class ZipArchive::PartDevice final : public QIODevice {
public:
    PartDevice(const uchar *packed, quint64 compressedSize, quint64 size, quint32 crc, bool stored)
        : m_packed(packed), m_compressedSize(compressedSize), m_size(size), m_crc(crc), m_stored(stored)
    {
        if (!m_stored)
            m_ready = inflateInit2(&m_stream, -MAX_WBITS) == Z_OK;
        else
            m_ready = compressedSize == size;
        open(QIODevice::ReadOnly);
    }
    ~PartDevice() override
    {
        if (!m_stored && m_ready)
            inflateEnd(&m_stream);
    }
    bool isSequential() const override { return true; }
    // What is still to come counts as available: readers that ask before reading (the XML
    // reader does) must not take the end of one inflated piece for the end of the part.
    qint64 bytesAvailable() const override { return QIODevice::bytesAvailable() + qint64(m_size - m_produced); }
    bool atEnd() const override { return m_failed || (m_produced == m_size && QIODevice::bytesAvailable() == 0); }
    bool failed() const { return m_failed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_failed || !m_ready)
            return fail();
        if (maxSize <= 0)
            return 0;
        if (m_produced == m_size)
            return finish() ? 0 : fail();
        const quint64 want = std::min<quint64>({quint64(maxSize), m_size - m_produced, kPiece});
        quint64 got = 0;
        if (m_stored) {
            std::memcpy(data, m_packed + m_produced, want);
            got = want;
        } else {
            m_stream.next_out = reinterpret_cast<Bytef *>(data);
            m_stream.avail_out = uInt(want);
            while (m_stream.avail_out > 0 && !m_ended) {
                if (m_stream.avail_in == 0 && m_fed < m_compressedSize) {
                    const quint64 piece = std::min<quint64>(kPiece, m_compressedSize - m_fed);
                    m_stream.next_in = const_cast<Bytef *>(m_packed + m_fed);
                    m_stream.avail_in = uInt(piece);
                    m_fed += piece;
                }
                const uInt inBefore = m_stream.avail_in;
                const uInt outBefore = m_stream.avail_out;
                const int rc = inflate(&m_stream, Z_NO_FLUSH);
                if (rc == Z_STREAM_END)
                    m_ended = true;
                else if (rc != Z_OK && rc != Z_BUF_ERROR)
                    return fail();
                if (!m_ended && m_stream.avail_in == inBefore && m_stream.avail_out == outBefore)
                    return fail(); // input used up before the stream's end
            }
            got = want - m_stream.avail_out;
        }
        m_crcSoFar = crc32_z(m_crcSoFar, reinterpret_cast<const Bytef *>(data), z_size_t(got));
        m_produced += got;
        if (m_ended && m_produced < m_size)
            return fail(); // shorter than it declared
        return qint64(got);
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    // The part is whole when its stream ends exactly at the declared size with the right CRC.
    bool finish()
    {
        if (!m_stored && !m_ended) {
            // Declared size reached: the stream must end here, not run on.
            char extra = 0;
            m_stream.next_out = reinterpret_cast<Bytef *>(&extra);
            m_stream.avail_out = 1;
            if (m_stream.avail_in == 0 && m_fed < m_compressedSize) {
                m_stream.next_in = const_cast<Bytef *>(m_packed + m_fed);
                m_stream.avail_in = uInt(std::min<quint64>(kPiece, m_compressedSize - m_fed));
                m_fed += m_stream.avail_in;
            }
            const int rc = inflate(&m_stream, Z_NO_FLUSH);
            if (rc != Z_STREAM_END || m_stream.avail_out == 0)
                return false;
            m_ended = true;
        }
        return m_crcSoFar == m_crc;
    }
    qint64 fail()
    {
        m_failed = true;
        setErrorString(QStringLiteral("damaged zip part"));
        return -1;
    }

    static constexpr quint64 kPiece = 1 << 20;
    const uchar *m_packed;
    quint64 m_compressedSize;
    quint64 m_size;
    quint32 m_crc;
    bool m_stored;
    bool m_ready = false;
    bool m_failed = false;
    bool m_ended = false;
    z_stream m_stream{};
    quint64 m_fed = 0;
    quint64 m_produced = 0;
    uLong m_crcSoFar = crc32_z(0L, nullptr, 0);
};

std::unique_ptr<QIODevice> ZipArchive::stream(const QString &name, qint64 limit) const
{
    if (!m_open)
        return nullptr;
    const auto it = m_entries.constFind(name.toLower());
    if (it == m_entries.cend())
        return nullptr;
    const Entry &entry = *it;
    if ((entry.flags & kEncrypted) || entry.size > quint64(limit) || (entry.method != kStored && entry.method != kDeflated))
        return nullptr;
    if (entry.localHeader + kLocalHeaderSize > m_size || u32(m_data + entry.localHeader) != kLocalHeader)
        return nullptr;
    const uchar *local = m_data + entry.localHeader;
    const quint64 start = entry.localHeader + kLocalHeaderSize + u16(local + 26) + u16(local + 28);
    if (start > m_size || entry.compressedSize > m_size - start)
        return nullptr;
    return std::make_unique<PartDevice>(m_data + start, entry.compressedSize, entry.size, entry.crc,
                                        entry.method == kStored);
}

qint64 ZipArchive::declaredSize(const QString &name) const
{
    const auto it = m_entries.constFind(name.toLower());
    return it == m_entries.cend() ? -1 : qint64(it->size);
}

std::optional<QByteArray> ZipArchive::read(const QString &name) const
{
    const std::unique_ptr<QIODevice> part = stream(name, kMaxPartSize);
    if (!part)
        return std::nullopt;
    // Grown as the bytes come rather than sized from the header: a part that declares a large
    // size but holds little costs what it holds.
    QByteArray data;
    char piece[1 << 16];
    for (;;) {
        const qint64 got = part->read(piece, sizeof piece);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        data.append(piece, got);
    }
    if (static_cast<PartDevice *>(part.get())->failed())
        return std::nullopt;
    return data;
}

} // namespace xlsx
