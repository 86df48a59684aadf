#include "platform/xlsx/xls_grid.h"

#include <QByteArray>
#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <functional>
#include <vector>

namespace xlsx {

namespace {

constexpr quint32 kLastSector = 0xFFFFFFFA;     // higher numbers mark chain ends and special sectors
constexpr qint64 kHeaderSize = 512;
constexpr qint64 kDirectoryEntry = 128;
constexpr qint64 kMiniSector = 64;
// A mini stream holds only streams below 4 KB each: past this it is no workbook's.
constexpr qint64 kMaxMiniStream = 64LL * 1024 * 1024;
constexpr quint16 kDimension = 0x0200;
constexpr qint64 kMaxRows = 65536;
constexpr qint64 kMaxColumns = 256;

quint16 u16(const char *at) { return qFromLittleEndian<quint16>(at); }
quint32 u32(const char *at) { return qFromLittleEndian<quint32>(at); }

// The sectors of a compound file (the container of an .xls), read through its allocation table.
// Every chain is walked at most as many steps as the file has sectors, so a loop ends.
class CompoundFile final {
public:
    explicit CompoundFile(const QString &path) : m_file(path) {}

    bool open()
    {
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray header = m_file.read(kHeaderSize);
        if (header.size() != kHeaderSize || !header.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")))
            return false;
        const quint16 shift = u16(header.constData() + 0x1E);
        if (shift != 9 && shift != 12)
            return false;
        m_sectorSize = qint64(1) << shift;
        m_sectors = std::max<qint64>(0, (m_file.size() - m_sectorSize + m_sectorSize - 1) / m_sectorSize);
        m_directoryStart = u32(header.constData() + 0x30);
        m_miniCutoff = u32(header.constData() + 0x38);
        m_miniFatStart = u32(header.constData() + 0x3C);
        const quint32 fatSectors = u32(header.constData() + 0x2C);
        if (qint64(fatSectors) > m_sectors)
            return false;

        // Where the table's sectors are: 109 in the header, the rest in a chain of their own.
        std::vector<quint32> tableSectors;
        for (int i = 0; i < 109 && tableSectors.size() < fatSectors; ++i)
            tableSectors.push_back(u32(header.constData() + 0x4C + 4 * i));
        quint32 next = u32(header.constData() + 0x44);
        QByteArray sector;
        for (qint64 steps = 0; tableSectors.size() < fatSectors; ++steps) {
            if (steps > m_sectors || !readSector(next, sector))
                return false;
            const qint64 perSector = m_sectorSize / 4 - 1;
            for (qint64 i = 0; i < perSector && tableSectors.size() < fatSectors; ++i)
                tableSectors.push_back(u32(sector.constData() + 4 * i));
            next = u32(sector.constData() + 4 * perSector);
        }
        m_fat.reserve(std::size_t(fatSectors) * std::size_t(m_sectorSize / 4));
        for (const quint32 at : tableSectors) {
            if (!readSector(at, sector))
                return false;
            for (qint64 i = 0; i < m_sectorSize / 4; ++i)
                m_fat.push_back(u32(sector.constData() + 4 * i));
        }
        return true;
    }

    // Hands the chain from `first` to `take`, a sector at a time, for `bytes` bytes; false when it
    // ends before them, loops or leaves the file, or `take` says stop.
    bool walk(quint32 first, qint64 bytes, const std::function<bool(const char *, qint64)> &take)
    {
        QByteArray sector;
        quint32 at = first;
        for (qint64 steps = 0; bytes > 0; ++steps) {
            if (steps > m_sectors || !readSector(at, sector))
                return false;
            const qint64 part = std::min(bytes, m_sectorSize);
            if (!take(sector.constData(), part))
                return false;
            bytes -= part;
            at = at < m_fat.size() ? m_fat[at] : quint32(0xFFFFFFFF);
        }
        return true;
    }

    // A chain into memory up to its end or `bytes`, for the small ones (the mini stream and its
    // table); false past kMaxMiniStream or off the file.
    bool readChain(quint32 first, qint64 bytes, QByteArray &into)
    {
        into.clear();
        if (bytes < 0 || bytes > kMaxMiniStream)
            return false;
        QByteArray sector;
        quint32 at = first;
        for (qint64 steps = 0; into.size() < bytes && at <= kLastSector; ++steps) {
            if (steps > m_sectors || !readSector(at, sector))
                return false;
            into.append(sector.constData(), std::min(m_sectorSize, bytes - into.size()));
            at = at < m_fat.size() ? m_fat[at] : quint32(0xFFFFFFFF);
        }
        return true;
    }

    // The directory's streams named `names` (any case), each with its start and size, in order.
    struct Stream {
        quint32 start;
        qint64 size;
    };
    bool streams(const QStringList &names, std::vector<Stream> &found, Stream &root)
    {
        qint64 index = 0;
        QByteArray sector;
        quint32 at = m_directoryStart;
        for (qint64 steps = 0; at <= kLastSector; ++steps) {
            if (steps > m_sectors || !readSector(at, sector))
                return false;
            for (qint64 offset = 0; offset + kDirectoryEntry <= m_sectorSize; offset += kDirectoryEntry, ++index) {
                const char *entry = sector.constData() + offset;
                const quint16 nameBytes = std::min<quint16>(u16(entry + 0x40), 64);
                const quint8 type = quint8(entry[0x42]);
                const Stream stream{u32(entry + 0x74), qint64(u32(entry + 0x78))};
                if (index == 0 && type == 5)
                    root = stream;
                if (type != 2 || nameBytes < 2)
                    continue;
                const QString name = QString::fromUtf16(reinterpret_cast<const char16_t *>(entry), nameBytes / 2 - 1);
                if (names.contains(name, Qt::CaseInsensitive))
                    found.push_back(stream);
            }
            at = at < m_fat.size() ? m_fat[at] : quint32(0xFFFFFFFF);
        }
        return true;
    }

    quint32 miniCutoff() const { return m_miniCutoff; }
    quint32 miniFatStart() const { return m_miniFatStart; }

private:
    bool readSector(quint32 id, QByteArray &into)
    {
        if (id > kLastSector || qint64(id) >= m_sectors || !m_file.seek((qint64(id) + 1) * m_sectorSize))
            return false;
        into = m_file.read(m_sectorSize);
        return into.size() == m_sectorSize;
    }

    QFile m_file;
    qint64 m_sectorSize = 512;
    qint64 m_sectors = 0;
    quint32 m_directoryStart = 0;
    quint32 m_miniCutoff = 4096;
    quint32 m_miniFatStart = 0;
    std::vector<quint32> m_fat;
};

// The DIMENSION records of a workbook stream, taken as its bytes come: rows × columns of each,
// read both as BIFF8 lays it out (32-bit rows) and as BIFF5 does, the larger counted, since the
// library picks the layout from a version the file itself claims.
class DimensionScan final {
public:
    explicit DimensionScan(DeclaredGrid &grid) : m_grid(grid) {}

    bool take(const char *data, qint64 length)
    {
        for (qint64 i = 0; i < length;) {
            if (m_skip > 0) {
                const qint64 part = std::min(m_skip, length - i);
                m_skip -= part;
                i += part;
                continue;
            }
            m_pending.append(data[i++]);
            if (m_pending.size() == 4) {
                m_type = u16(m_pending.constData());
                m_length = u16(m_pending.constData() + 2);
                if (m_type != kDimension || m_length == 0) {
                    m_skip = m_length;
                    m_pending.clear();
                }
            } else if (m_pending.size() > 4 && m_pending.size() - 4 == std::min<qint64>(m_length, 14)) {
                count(QByteArrayView(m_pending).sliced(4));
                m_skip = m_length - (m_pending.size() - 4);
                m_pending.clear();
            }
        }
        return true;
    }

private:
    void count(QByteArrayView body)
    {
        qint64 rows = 0;
        qint64 columns = 0;
        if (body.size() >= 12) {
            rows = std::max<qint64>(rows, u32(body.data() + 4));
            columns = std::max<qint64>(columns, u16(body.data() + 10));
        }
        if (body.size() >= 8) {
            rows = std::max<qint64>(rows, u16(body.data() + 2));
            columns = std::max<qint64>(columns, u16(body.data() + 6));
        }
        if (rows > kMaxRows || columns > kMaxColumns)
            m_grid.pastExcel = true;
        else
            m_grid.cells += rows * columns;
    }

    DeclaredGrid &m_grid;
    QByteArray m_pending;
    qint64 m_skip = 0;
    quint16 m_type = 0;
    qint64 m_length = 0;
};

} // namespace

DeclaredGrid declaredXlsGrid(const QString &path)
{
    DeclaredGrid grid;
    CompoundFile file(path);
    std::vector<CompoundFile::Stream> books;
    CompoundFile::Stream root{0, 0};
    if (!file.open() || !file.streams({QStringLiteral("Workbook"), QStringLiteral("Book")}, books, root) || books.empty())
        return grid;
    QByteArray miniStream;
    QByteArray miniFat;
    for (const CompoundFile::Stream &book : books) {
        DimensionScan scan(grid);
        const auto take = [&scan](const char *data, qint64 length) { return scan.take(data, length); };
        if (book.size >= qint64(file.miniCutoff())) {
            if (!file.walk(book.start, book.size, take))
                return {};
            continue;
        }
        // A small stream lives in the mini stream, in sectors of 64 bytes with a table of their own.
        if (miniStream.isEmpty()
            && (!file.readChain(root.start, root.size, miniStream)
                || !file.readChain(file.miniFatStart(), root.size / kMiniSector * 4 + 4, miniFat)))
            return {};
        quint32 at = book.start;
        for (qint64 left = book.size, steps = 0; left > 0; ++steps) {
            const qint64 offset = qint64(at) * kMiniSector;
            if (steps > miniStream.size() / kMiniSector || offset + kMiniSector > miniStream.size())
                return {};
            const qint64 part = std::min(left, kMiniSector);
            scan.take(miniStream.constData() + offset, part);
            left -= part;
            at = qint64(at) * 4 + 4 <= miniFat.size() ? u32(miniFat.constData() + qint64(at) * 4) : quint32(0xFFFFFFFF);
        }
    }
    grid.known = true;
    return grid;
}

} // namespace xlsx
