#include "platform/xlsx/zip_archive.h"

#include <QFile>
#include <QtEndian>

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <limits>

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

} // namespace

ZipArchive::ZipArchive(const QString &path) : m_path(path)
{
    if (!endRecordClosesTheFile(path))
        return;
    const ZipHandle zip(path);
    unz_global_info64 global{};
    if (!zip.file || unzGetGlobalInfo64(zip.file, &global) != UNZ_OK || global.number_entry > quint64(kMaxEntries))
        return;
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
        const QString entryName = QString::fromUtf8(name, qsizetype(info.size_filename));
        m_names.append(entryName);
        m_entries.insert(entryName.toLower(), entry);
    }
    // The directory must hold as many entries as its end record says: fewer is a directory cut
    // short or overwritten.
    m_open = rc == UNZ_END_OF_LIST_OF_FILE && quint64(m_names.size()) == global.number_entry;
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

// One entry inflated by minizip as it is read, through a handle of its own. That the stream gave
// exactly the declared size with the declared checksum is checked here, as the bytes come (see
// takeZip64Sizes for why not by minizip alone).
class ZipArchive::PartDevice final : public QIODevice {
public:
    PartDevice(const QString &path, quint64 size, quint32 crc) : m_zip(path), m_size(size), m_crc(crc) {}
    ~PartDevice() override
    {
        if (m_entryOpen)
            unzCloseCurrentFile(m_zip.file);
    }
    bool start(const Entry &entry)
    {
        unz64_file_pos position{entry.directoryOffset, entry.directoryIndex};
        m_entryOpen = m_zip.file && unzGoToFilePos64(m_zip.file, &position) == UNZ_OK
                   && unzOpenCurrentFile(m_zip.file) == UNZ_OK;
        return m_entryOpen && open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_failed)
            return -1;
        if (!m_entryOpen)
            return 0;
        const int got = unzReadCurrentFile(m_zip.file, data, unsigned(std::min<qint64>(maxSize, 1 << 30)));
        if (got < 0)
            return fail();
        m_produced += quint64(got);
        if (m_produced > m_size)
            return fail();
        if (got > 0) {
            m_crcSoFar = crc32_z(m_crcSoFar, reinterpret_cast<const Bytef *>(data), z_size_t(got));
            return got;
        }
        // The end: the whole declared size, with the declared checksum.
        m_entryOpen = false;
        if (m_produced != m_size || m_crcSoFar != m_crc || unzCloseCurrentFile(m_zip.file) != UNZ_OK)
            return fail();
        return 0;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 fail()
    {
        m_failed = true;
        setErrorString(QStringLiteral("damaged zip part"));
        return -1;
    }

    ZipHandle m_zip;
    quint64 m_size;
    quint32 m_crc;
    uLong m_crcSoFar = crc32_z(0L, nullptr, 0);
    quint64 m_produced = 0;
    bool m_entryOpen = false;
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
    auto device = std::make_unique<PartDevice>(m_path, entry.size, entry.crc);
    if (!device->start(entry))
        return nullptr;
    return device;
}

} // namespace xlsx
