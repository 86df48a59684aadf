#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QString>

#include <memory>
#include <optional>

// Reads the parts of a zip package (an .xlsx) straight through zlib. QuaZip cannot be used here:
// it exports its own copy of minizip's functions, and in the same program as libxlsxwriter (which
// writes through the system's minizip) each library's calls land in the other's copy and crash.
// Every size and offset is checked against the file, so a damaged or hostile archive gives
// nothing rather than a crash, and a part never inflates past a fixed limit.
namespace xlsx {

class ZipArchive final {
public:
    // A part read whole (workbook, relationships, styles, shared strings) larger than this is not
    // a workbook part but a zip bomb. Sheets are read as a stream with a limit of their own.
    static constexpr qint64 kMaxPartSize = 128LL * 1024 * 1024;

    explicit ZipArchive(const QString &path);
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // False when the file is no zip archive this reader understands (damaged, zip64, spanned).
    bool isOpen() const { return m_open; }
    bool contains(const QString &name) const;
    // The size the directory declares for the part once inflated; -1 when there is no such part.
    qint64 declaredSize(const QString &name) const;
    // The part's bytes, checked against its CRC; nothing when it is missing, encrypted, damaged
    // or too large.
    std::optional<QByteArray> read(const QString &name) const;
    // The part as a device inflating as it is read, for parts that declare at most `limit` bytes;
    // nullptr as for read(). A damaged stream or a wrong CRC makes a read fail (-1). The device
    // must not outlive the archive.
    std::unique_ptr<QIODevice> stream(const QString &name, qint64 limit) const;

private:
    class PartDevice;
    struct Entry {
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        quint64 compressedSize = 0;
        quint64 size = 0;
        quint64 localHeader = 0;
    };

    bool readDirectory();

    QFile m_file;
    const uchar *m_data = nullptr;
    quint64 m_size = 0;
    bool m_open = false;
    QHash<QString, Entry> m_entries;      // by name folded to lower case
};

} // namespace xlsx
