#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QString>

#include <optional>

// Reads the parts of a zip package (an .xlsx) straight through zlib. QuaZip cannot be used here:
// it exports its own copy of minizip's functions, and in the same program as libxlsxwriter (which
// writes through the system's minizip) each library's calls land in the other's copy and crash.
// Every size and offset is checked against the file, so a damaged or hostile archive gives
// nothing rather than a crash, and a part never inflates past a fixed limit.
namespace xlsx {

class ZipArchive final {
public:
    // A part larger than this is not a workbook part but a zip bomb.
    static constexpr qint64 kMaxPartSize = 512LL * 1024 * 1024;

    explicit ZipArchive(const QString &path);
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // False when the file is no zip archive this reader understands (damaged, zip64, spanned).
    bool isOpen() const { return m_open; }
    bool contains(const QString &name) const;
    // The part's bytes, checked against its CRC; nothing when it is missing, encrypted, damaged
    // or too large.
    std::optional<QByteArray> read(const QString &name) const;

private:
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
