#include "platform/xlsx/zip_archive.h"

#include <QFile>
#include <QtEndian>

#include <unzip.h>

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
        if (unzGetCurrentFileInfo64(zip.file, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK
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

// One entry inflated by minizip as it is read, through a handle of its own. minizip stops at the
// declared size and checks the checksum when the entry is closed at its end; that it got there
// (rather than to a stream that ended early) is checked here.
class ZipArchive::PartDevice final : public QIODevice {
public:
    PartDevice(const QString &path, quint64 size) : m_zip(path), m_size(size) {}
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
        if (got > 0)
            return got;
        // The end: the whole declared size, with the checksum minizip checks on closing.
        m_entryOpen = false;
        if (m_produced != m_size || unzCloseCurrentFile(m_zip.file) != UNZ_OK)
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
    auto device = std::make_unique<PartDevice>(m_path, entry.size);
    if (!device->start(entry))
        return nullptr;
    return device;
}

} // namespace xlsx
