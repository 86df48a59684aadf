#pragma once

#include <QHash>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <memory>

// The parts of a zip package (an .xlsx) read through the system's minizip, the copy libxlsxwriter
// writes with. It finds the zip64 end records and inflates an entry as it is read. QuaZip cannot be
// used: it exports its own copy of minizip's functions, and in the same program as libxlsxwriter
// each library's calls land in the other's copy and crash.
//
// Measured on Debian 12's minizip 1.1: it ignores the zip64 extra field of a directory entry on a
// 64-bit system (it compares the all-ones marker with an unsigned long's all ones), so it hands
// out the markers as sizes, reads past the entry's end for them and checks no checksum for such an
// entry. The sizes are read from that field here; minizip finds each entry's bytes, and zlib
// inflates them here, reading no further than they go, checking their length and checksum. An entry
// whose local header lies past 4 GiB cannot be reached through it; such a file is far past any
// workbook Excel holds, and is refused as damaged.
//
// On top of minizip sit the checks a workbook needs: the directory holds the number of entries its
// end record declares, and no more than a workbook has; an entry declares no more than deflate can
// give from its compressed bytes; and an entry read to its end gave exactly its declared size with
// its checksum. A damaged or hostile archive gives nothing rather than a crash.
namespace xlsx {

class ZipArchive final {
public:
    // Far more parts than a workbook of many sheets holds.
    static constexpr qint64 kMaxEntries = 20000;
    // The most deflate makes of one compressed byte (its longest match from a code of one bit).
    static constexpr qint64 kMaxDeflateRatio = 1032;

    explicit ZipArchive(const QString &path);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // False when the file is no zip archive this reader understands (damaged, spanned, past the
    // bounds above).
    bool isOpen() const { return m_open; }
    // The entries in the directory's order.
    const QStringList &names() const { return m_names; }
    bool contains(const QString &name) const;
    // The size the directory declares for the part once inflated; -1 when there is no such part.
    qint64 declaredSize(const QString &name) const;
    // The part as a device inflating as it is read, for parts that declare at most `limit` bytes;
    // nullptr when it is missing, encrypted, of an unknown method or larger. Reading on past
    // the end checks the length and the checksum: a damaged stream, a shorter one or a wrong
    // checksum makes the read fail (-1). Each device reads the file on its own.
    std::unique_ptr<QIODevice> stream(const QString &name, qint64 limit) const;

private:
    class PartDevice;
    struct Entry {
        quint64 directoryOffset = 0;    // where minizip finds it again
        quint64 directoryIndex = 0;
        // Where its compressed bytes start; 0 when its local header could not be read (it is then
        // never handed out).
        quint64 dataOffset = 0;
        quint64 size = 0;
        quint64 compressedSize = 0;
        quint32 crc = 0;
        quint16 flags = 0;
        quint16 method = 0;
    };

    QString m_path;
    bool m_open = false;
    QHash<QString, Entry> m_entries;      // by name folded to lower case
    QStringList m_names;
};

} // namespace xlsx
