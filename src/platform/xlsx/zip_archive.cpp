#include "platform/xlsx/zip_archive.h"

#include <QFile>
#include <QtEndian>

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace xlsx {

namespace {

constexpr quint16 kStored = 0;
constexpr quint16 kDeflated = 8;
constexpr quint16 kEncrypted = 0x0001;
// Part names are short paths; a longer one is damage.
constexpr std::size_t kMaxNameBytes = 1024;

// An open minizip handle, closed with its owner.
struct ZipHandle {
    unzFile file = nullptr;
    explicit ZipHandle(const QString &path) : file(unzOpen64(QFile::encodeName(path).constData())) {}
    ~ZipHandle()
    {
        if (file)
            unzClose(file);
    }
    ZipHandle(const ZipHandle &) = delete;
    ZipHandle &operator=(const ZipHandle &) = delete;
};

// The end record and its comment reach exactly the end of the file: a package cut short (even by
// a byte of its end record) ends elsewhere.
bool endRecordClosesTheFile(const QString &path)
{
    QFile file(path);
    constexpr qint64 kEndSize = 22;
    if (!file.open(QIODevice::ReadOnly) || file.size() < kEndSize)
        return false;
    const qint64 tail = std::min<qint64>(file.size(), kEndSize + 0xFFFF);
    if (!file.seek(file.size() - tail))
        return false;
    const QByteArray bytes = file.read(tail);
    for (qsizetype at = bytes.lastIndexOf("PK\x05\x06"); at >= 0; at = bytes.lastIndexOf("PK\x05\x06", at - 1)) {
        if (at + kEndSize > bytes.size())
            continue;
        const auto comment = qFromLittleEndian<quint16>(bytes.constData() + at + 20);
        if (at + kEndSize + comment == bytes.size())
            return true;
        if (at == 0)
            break;
    }
    return false;
}

// Sizes that do not fit 32 bits are in the zip64 extra field, in this order. minizip 1.1 (as
// Debian 12 ships it) reads that field only where a 32-bit value is all ones as an unsigned long,
// which on a 64-bit system it never is: it hands out the all-ones markers instead. The field is
// read here; minizip still inflates the entry (to the end of its stream), and the size and
// checksum are checked against these values as the bytes come.
void takeZip64Sizes(const char *extra, std::size_t length, quint64 &size, quint64 &compressedSize)
{
    const char *end = extra + length;
    while (end - extra >= 4) {
        const auto id = qFromLittleEndian<quint16>(extra);
        const auto fieldLength = qFromLittleEndian<quint16>(extra + 2);
        const char *field = extra + 4;
        if (fieldLength > end - field)
            return;
        if (id == 0x0001) {
            const char *value = field;
            const auto take = [&](quint64 &target) {
                if (target == 0xFFFFFFFFu && value + 8 <= field + fieldLength) {
                    target = qFromLittleEndian<quint64>(value);
                    value += 8;
                }
            };
            take(size);
            take(compressedSize);
            return;
        }
        extra = field + fieldLength;
    }
}

// Where an entry lies in the file: its local header, then its compressed bytes.
struct Extent {
    quint64 header = 0;
    quint64 data = 0;
    quint64 dataEnd = 0;
};

// The current entry's extent as its local header gives it (opened raw, nothing inflated): nothing
// when minizip finds the local header at odds with the directory (such an entry cannot be read),
// false when the local header names another part than the directory does.
bool localExtent(unzFile zip, QFile &file, QByteArrayView name, quint64 compressedSize, std::optional<Extent> &extent)
{
    extent.reset();
    if (unzOpenCurrentFile2(zip, nullptr, nullptr, 1) != UNZ_OK)
        return true;
    const quint64 dataStart = unzGetCurrentFileZStreamPos64(zip);
    const int extraLength = unzGetLocalExtrafield(zip, nullptr, 0);
    unzCloseCurrentFile(zip);
    constexpr quint64 kLocalHeader = 30;
    const quint64 before = kLocalHeader + quint64(name.size()) + quint64(std::max(extraLength, 0));
    if (extraLength < 0 || dataStart < before || compressedSize > std::numeric_limits<quint64>::max() - dataStart)
        return false;
    const quint64 nameAt = dataStart - before + kLocalHeader;
    if (!file.seek(qint64(nameAt)) || file.read(name.size()) != name)
        return false;
    extent = Extent{dataStart - before, dataStart, dataStart + compressedSize};
    return true;
}

// No two entries share bytes: each entry's local header and data stand apart from every other's.
bool extentsStandApart(std::vector<Extent> &extents)
{
    std::sort(extents.begin(), extents.end(), [](const Extent &a, const Extent &b) { return a.header < b.header; });
    for (std::size_t i = 1; i < extents.size(); ++i)
        if (extents[i].header < extents[i - 1].dataEnd)
            return false;
    return true;
}

} // namespace

ZipArchive::ZipArchive(const QString &path) : m_path(path)
{
    if (!endRecordClosesTheFile(path))
        return;
    const ZipHandle zip(path);
    unz_global_info64 global{};
    if (!zip.file || unzGetGlobalInfo64(zip.file, &global) != UNZ_OK || global.number_entry > quint64(kMaxEntries))
        return;
    // Each entry's local header is read too: an entry whose local header names another part, or
    // whose bytes overlap another entry's (several directory entries pointing at one part), is a
    // package put together to mislead, not one a writer saved.
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly))
        return;
    std::vector<Extent> extents;
    int rc = unzGoToFirstFile(zip.file);
    for (; rc == UNZ_OK; rc = unzGoToNextFile(zip.file)) {
        unz_file_info64 info{};
        char name[kMaxNameBytes];
        char extra[0x10000];
        if (unzGetCurrentFileInfo64(zip.file, &info, name, sizeof name, extra, sizeof extra, nullptr, 0) != UNZ_OK
            || info.size_filename >= sizeof name || quint64(m_names.size()) >= global.number_entry)
            return;
        unz64_file_pos position{};
        if (unzGetFilePos64(zip.file, &position) != UNZ_OK)
            return;
        Entry entry;
        entry.directoryOffset = position.pos_in_zip_directory;
        entry.directoryIndex = position.num_of_file;
        entry.size = info.uncompressed_size;
        entry.compressedSize = info.compressed_size;
        entry.crc = quint32(info.crc);
        takeZip64Sizes(extra, std::min<std::size_t>(info.size_file_extra, sizeof extra), entry.size, entry.compressedSize);
        entry.flags = quint16(info.flag);
        entry.method = quint16(info.compression_method);
        std::optional<Extent> extent;
        if (!localExtent(zip.file, raw, QByteArrayView(name, qsizetype(info.size_filename)), entry.compressedSize, extent))
            return;
        if (extent) {
            extents.push_back(*extent);
            entry.dataOffset = extent->data;
        }
        const QString entryName = QString::fromUtf8(name, qsizetype(info.size_filename));
        m_names.append(entryName);
        m_entries.insert(entryName.toLower(), entry);
    }
    // The directory must hold as many entries as its end record says: fewer is a directory cut
    // short or overwritten.
    m_open = rc == UNZ_END_OF_LIST_OF_FILE && quint64(m_names.size()) == global.number_entry
          && extentsStandApart(extents);
}

ZipArchive::~ZipArchive() = default;

bool ZipArchive::contains(const QString &name) const
{
    return m_entries.contains(name.toLower());
}

qint64 ZipArchive::declaredSize(const QString &name) const
{
    const auto it = m_entries.constFind(name.toLower());
    return it == m_entries.cend() ? -1 : qint64(std::min<quint64>(it->size, std::numeric_limits<qint64>::max()));
}

// One entry's bytes, where minizip found them, inflated by zlib as they are read: minizip takes
// the all-ones markers of a zip64 entry for its sizes and reads past the entry's end for them, so
// only the sizes read here bound what is read. That the stream gave exactly the declared size with
// the declared checksum is checked as the bytes come.
class ZipArchive::PartDevice final : public QIODevice {
public:
    PartDevice(const QString &path, const Entry &entry) : m_file(path), m_entry(entry) {}
    ~PartDevice() override
    {
        if (m_inflating)
            inflateEnd(&m_stream);
    }
    bool start()
    {
        if (!m_file.open(QIODevice::ReadOnly) || !m_file.seek(qint64(m_entry.dataOffset)))
            return false;
        if (m_entry.method == kDeflated) {
            m_inflating = inflateInit2(&m_stream, -MAX_WBITS) == Z_OK;
            if (!m_inflating)
                return false;
        }
        return open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_failed)
            return -1;
        if (m_ended || maxSize <= 0)
            return 0;
        qint64 got = 0;
        if (m_entry.method == kStored) {
            const qint64 want = qint64(std::min<quint64>(quint64(maxSize), m_entry.size - m_produced));
            got = want > 0 ? m_file.read(data, want) : 0;
            if (got < 0 || (got == 0 && want > 0))
                return fail();
        } else {
            got = inflateSome(data, maxSize);
            if (got < 0)
                return fail();
        }
        m_produced += quint64(got);
        if (m_produced > m_entry.size)
            return fail();
        if (got > 0) {
            m_crcSoFar = crc32_z(m_crcSoFar, reinterpret_cast<const Bytef *>(data), z_size_t(got));
            return got;
        }
        // The end: the whole declared size, with the declared checksum.
        m_ended = true;
        if (m_produced != m_entry.size || m_crcSoFar != m_entry.crc)
            return fail();
        return 0;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    // Inflates into `data` from the entry's compressed bytes, never reading past them; 0 at the
    // stream's end, -1 when it is damaged or its bytes run out before its end.
    qint64 inflateSome(char *data, qint64 maxSize)
    {
        m_stream.next_out = reinterpret_cast<Bytef *>(data);
        m_stream.avail_out = uInt(std::min<qint64>(maxSize, 1 << 30));
        while (m_stream.avail_out > 0 && !m_streamEnded) {
            if (m_stream.avail_in == 0) {
                const quint64 left = m_entry.compressedSize - m_consumed;
                const qint64 want = qint64(std::min<quint64>(left, sizeof m_input));
                const qint64 read = want > 0 ? m_file.read(m_input, want) : 0;
                if (read <= 0)
                    return -1;
                m_consumed += quint64(read);
                m_stream.next_in = reinterpret_cast<Bytef *>(m_input);
                m_stream.avail_in = uInt(read);
            }
            const int rc = inflate(&m_stream, Z_NO_FLUSH);
            if (rc == Z_STREAM_END)
                m_streamEnded = true;
            else if (rc != Z_OK && rc != Z_BUF_ERROR)
                return -1;
            else if (rc == Z_BUF_ERROR && m_stream.avail_in > 0)
                return -1;
        }
        return qint64(reinterpret_cast<char *>(m_stream.next_out) - data);
    }

    qint64 fail()
    {
        m_failed = true;
        setErrorString(QStringLiteral("damaged zip part"));
        return -1;
    }

    QFile m_file;
    Entry m_entry;
    z_stream m_stream{};
    char m_input[64 * 1024];
    quint64 m_consumed = 0;
    uLong m_crcSoFar = crc32_z(0L, nullptr, 0);
    quint64 m_produced = 0;
    bool m_inflating = false;
    bool m_streamEnded = false;
    bool m_ended = false;
    bool m_failed = false;
};

std::unique_ptr<QIODevice> ZipArchive::stream(const QString &name, qint64 limit) const
{
    if (!m_open)
        return nullptr;
    const auto it = m_entries.constFind(name.toLower());
    if (it == m_entries.cend())
        return nullptr;
    const Entry &entry = *it;
    if ((entry.flags & kEncrypted) || entry.size > quint64(limit))
        return nullptr;
    // A size deflate could not make from the compressed bytes (or a stored entry whose two sizes
    // differ) is a directory that lies.
    const bool plausible = entry.method == kStored   ? entry.size == entry.compressedSize
                         : entry.method == kDeflated ? entry.size / quint64(kMaxDeflateRatio) <= entry.compressedSize
                                                     : false;
    if (!plausible)
        return nullptr;
    if (!entry.dataOffset)
        return nullptr;
    auto device = std::make_unique<PartDevice>(m_path, entry);
    if (!device->start())
        return nullptr;
    return device;
}

} // namespace xlsx
