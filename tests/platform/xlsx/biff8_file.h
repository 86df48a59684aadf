#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <variant>

// Writes a small legacy .xls (BIFF8 inside a compound file) so the .xls reader is tested on a
// real file without any spreadsheet program on the machine. One sheet per entry; each cell a
// text or a number. The workbook stream must reach 4096 bytes (the compound file's small-stream
// cut-off), which a long text in the cells takes care of.
namespace xlstest {

struct XlsCell {
    int row = 0;            // from 0
    int column = 0;
    std::variant<QString, double> value;
};

struct XlsSheet {
    QString name;
    QList<XlsCell> cells;
};

class Bytes {
public:
    void u8(quint8 v) { m_data.append(char(v)); }
    void u16(quint16 v) { char b[2]; qToLittleEndian(v, b); m_data.append(b, 2); }
    void u32(quint32 v) { char b[4]; qToLittleEndian(v, b); m_data.append(b, 4); }
    void f64(double v) { char b[8]; qToLittleEndian(v, b); m_data.append(b, 8); }
    void raw(const QByteArray &b) { m_data.append(b); }
    void zeros(qsizetype n) { m_data.append(QByteArray(n, '\0')); }
    QByteArray &data() { return m_data; }

private:
    QByteArray m_data;
};

inline void record(Bytes &out, quint16 type, const QByteArray &body)
{
    out.u16(type);
    out.u16(quint16(body.size()));
    out.raw(body);
}

// A BIFF8 string body: 8-bit when every character is ASCII, UTF-16 otherwise.
inline void unicodeString(Bytes &out, const QString &text, bool shortLength)
{
    bool ascii = true;
    for (const QChar ch : text)
        ascii = ascii && ch.unicode() < 0x80;
    if (shortLength)
        out.u8(quint8(text.size()));
    else
        out.u16(quint16(text.size()));
    out.u8(ascii ? 0 : 1);
    for (const QChar ch : text) {
        if (ascii)
            out.u8(quint8(ch.unicode()));
        else
            out.u16(ch.unicode());
    }
}

inline QByteArray bof(quint16 kind)
{
    Bytes b;
    b.u16(0x0600);
    b.u16(kind);
    b.u16(0x0DBB);
    b.u16(0x07CC);
    b.u32(0);
    b.u32(0x06);
    return b.data();
}

// `password`: a FILEPASS record follows the first BOF, as in a workbook saved with a password to
// open (the records after it would be encrypted; the reader must stop at it).
inline QByteArray workbookStream(const QList<XlsSheet> &sheets, bool password = false)
{
    QStringList sst;
    for (const XlsSheet &s : sheets)
        for (const XlsCell &c : s.cells)
            if (const QString *t = std::get_if<QString>(&c.value); t && !sst.contains(*t))
                sst << *t;

    // The sheets' streams first, to know where each begins.
    QList<QByteArray> sheetStreams;
    for (const XlsSheet &s : sheets) {
        Bytes out;
        record(out, 0x0809, bof(0x0010));
        int rows = 0, columns = 0;
        for (const XlsCell &c : s.cells) {
            rows = std::max(rows, c.row + 1);
            columns = std::max(columns, c.column + 1);
        }
        Bytes dim;
        dim.u32(0);
        dim.u32(quint32(rows));
        dim.u16(0);
        dim.u16(quint16(columns));
        dim.u16(0);
        record(out, 0x0200, dim.data());
        for (const XlsCell &c : s.cells) {
            Bytes cell;
            cell.u16(quint16(c.row));
            cell.u16(quint16(c.column));
            cell.u16(0);
            if (const QString *t = std::get_if<QString>(&c.value)) {
                cell.u32(quint32(sst.indexOf(*t)));
                record(out, 0x00FD, cell.data());
            } else {
                cell.f64(std::get<double>(c.value));
                record(out, 0x0203, cell.data());
            }
        }
        record(out, 0x000A, {});
        sheetStreams << out.data();
    }

    const auto globals = [&](const QList<quint32> &offsets) {
        Bytes out;
        record(out, 0x0809, bof(0x0005));
        if (password) {
            Bytes filepass;
            filepass.u16(1);            // RC4
            filepass.u16(1);
            filepass.u16(1);
            filepass.zeros(48);         // salt, verifier and its hash
            record(out, 0x002F, filepass.data());
        }
        Bytes cp;
        cp.u16(0x04B0);
        record(out, 0x0042, cp.data());
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            Bytes bs;
            bs.u32(offsets.value(i));
            bs.u8(0);
            bs.u8(0);
            unicodeString(bs, sheets[i].name, true);
            record(out, 0x0085, bs.data());
        }
        Bytes table;
        table.u32(quint32(sst.size()));
        table.u32(quint32(sst.size()));
        for (const QString &t : sst)
            unicodeString(table, t, false);
        record(out, 0x00FC, table.data());
        record(out, 0x000A, {});
        return out.data();
    };
    const qsizetype globalsSize = globals({}).size();
    QList<quint32> offsets;
    quint32 at = quint32(globalsSize);
    for (const QByteArray &s : sheetStreams) {
        offsets << at;
        at += quint32(s.size());
    }
    QByteArray stream = globals(offsets);
    for (const QByteArray &s : sheetStreams)
        stream += s;
    return stream;
}

inline void directoryEntry(Bytes &out, const QString &name, quint8 type, quint32 child, quint32 start, quint32 size)
{
    const qsizetype begin = out.data().size();
    for (const QChar ch : name)
        out.u16(ch.unicode());
    out.zeros(64 - (out.data().size() - begin));
    out.u16(name.isEmpty() ? 0 : quint16((name.size() + 1) * 2));
    out.u8(type);
    out.u8(1);
    out.u32(0xFFFFFFFF);
    out.u32(0xFFFFFFFF);
    out.u32(child);
    out.zeros(16 + 4 + 8 + 8);
    out.u32(start);
    out.u32(size);
    out.u32(0);
}

// A compound file holding one stream; empty when the stream is too short for this simple layout
// (below 4096 bytes it would belong in the mini stream).
inline QByteArray compoundFile(const QString &streamName, QByteArray stream)
{
    if (stream.size() < 4096 || stream.size() > 126 * 512)
        return {};
    const auto streamSize = quint32(stream.size());
    stream.append(QByteArray((512 - stream.size() % 512) % 512, '\0'));
    const auto n = quint32(stream.size() / 512);

    Bytes header;
    header.raw(QByteArray::fromHex("D0CF11E0A1B11AE1"));
    header.zeros(16);
    header.u16(0x003E);
    header.u16(0x0003);
    header.u16(0xFFFE);
    header.u16(9);
    header.u16(6);
    header.zeros(6);
    header.u32(0);
    header.u32(1);
    header.u32(n);
    header.u32(0);
    header.u32(4096);
    header.u32(0xFFFFFFFE);
    header.u32(0);
    header.u32(0xFFFFFFFE);
    header.u32(0);
    header.u32(n + 1);
    for (int i = 1; i < 109; ++i)
        header.u32(0xFFFFFFFF);

    Bytes directory;
    directoryEntry(directory, QStringLiteral("Root Entry"), 5, 1, 0xFFFFFFFE, 0);
    directoryEntry(directory, streamName, 2, 0xFFFFFFFF, 0, streamSize);
    directoryEntry(directory, {}, 0, 0xFFFFFFFF, 0, 0);
    directoryEntry(directory, {}, 0, 0xFFFFFFFF, 0, 0);

    Bytes fat;
    for (quint32 i = 0; i < n; ++i)
        fat.u32(i + 1 < n ? i + 1 : 0xFFFFFFFE);
    fat.u32(0xFFFFFFFE);    // the directory
    fat.u32(0xFFFFFFFD);    // this FAT sector
    while (fat.data().size() < 512)
        fat.u32(0xFFFFFFFF);

    return header.data() + stream + directory.data() + fat.data();
}

// The whole .xls file; empty when the workbook stream is too short for this simple layout.
inline QByteArray xlsFile(const QList<XlsSheet> &sheets, bool password = false)
{
    return compoundFile(QStringLiteral("Workbook"), workbookStream(sheets, password));
}

} // namespace xlstest
