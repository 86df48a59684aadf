#include "platform/xlsx/xls_rows.h"

#include <QtEndian>

#include <cstring>

namespace xlsx::xlsrows {

namespace {

void putU32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void putText(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    putU32(out, quint32(utf8.size()));
    out.append(utf8);
}

// Reads forward through the records, refusing to step past the end.
class Reader {
public:
    explicit Reader(const QByteArray &bytes) : m_bytes(bytes) {}
    bool atEnd() const { return m_at >= m_bytes.size(); }
    bool u8(quint8 &value)
    {
        if (m_bytes.size() - m_at < 1)
            return false;
        value = quint8(m_bytes.at(m_at++));
        return true;
    }
    bool u32(quint32 &value)
    {
        if (m_bytes.size() - m_at < 4)
            return false;
        value = qFromLittleEndian<quint32>(m_bytes.constData() + m_at);
        m_at += 4;
        return true;
    }
    bool f64(double &value)
    {
        if (m_bytes.size() - m_at < 8)
            return false;
        const quint64 bits = qFromLittleEndian<quint64>(m_bytes.constData() + m_at);
        std::memcpy(&value, &bits, sizeof value);
        m_at += 8;
        return true;
    }
    bool text(QString &value)
    {
        quint32 size = 0;
        if (!u32(size) || quint64(m_bytes.size() - m_at) < size)
            return false;
        value = QString::fromUtf8(m_bytes.constData() + m_at, qsizetype(size));
        m_at += qsizetype(size);
        return true;
    }
    bool skipHeader()
    {
        const qsizetype size = qsizetype(std::strlen(kHeader));
        if (!m_bytes.startsWith(QByteArray(kHeader, size)))
            return false;
        m_at = size;
        return true;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_at = 0;
};

} // namespace

QByteArray header()
{
    return QByteArray(kHeader);
}

QByteArray sheet(const QString &name)
{
    QByteArray out(1, 'S');
    putText(out, name);
    return out;
}

QByteArray cell(int row, int column, const ReadCell &value)
{
    QByteArray out(1, 'C');
    putU32(out, quint32(row));
    putU32(out, quint32(column));
    out.append(char(value.kind));
    quint64 bits = 0;
    std::memcpy(&bits, &value.number, sizeof bits);
    char number[8];
    qToLittleEndian(bits, number);
    out.append(number, 8);
    putText(out, value.text);
    return out;
}

QByteArray end(ReadBook::Status status)
{
    QByteArray out(1, 'E');
    out.append(char(status));
    return out;
}

ReadBook decode(const QByteArray &bytes, const QString &path)
{
    Reader in(bytes);
    if (!in.skipHeader())
        return readFailure(ReadBook::Status::Unreadable, path);
    ReadBook book;
    while (!in.atEnd()) {
        quint8 kind = 0;
        in.u8(kind);
        if (kind == 'S') {
            ReadSheet sheet;
            if (!in.text(sheet.name))
                break;
            book.sheets.append(std::move(sheet));
        } else if (kind == 'C') {
            quint32 row = 0;
            quint32 column = 0;
            quint8 cellKind = 0;
            ReadCell value;
            if (book.sheets.isEmpty() || !in.u32(row) || !in.u32(column) || !in.u8(cellKind) || !in.f64(value.number)
                || !in.text(value.text))
                break;
            // Within the sheet's own bounds, one of the kinds there are.
            if (row < 1 || row > 1048576 || column < 1 || column > 16384 || cellKind > quint8(ReadCell::Kind::Error))
                break;
            value.kind = ReadCell::Kind(cellKind);
            ReadSheet &sheet = book.sheets.last();
            sheet.noteUsed(int(row), int(column));
            sheet.cells.insert({int(row), int(column)}, std::move(value));
        } else if (kind == 'E') {
            quint8 status = 0;
            if (!in.u8(status) || !in.atEnd() || status > quint8(ReadBook::Status::TooLarge))
                break;
            if (ReadBook::Status(status) != ReadBook::Status::Ok)
                return readFailure(ReadBook::Status(status), path);
            return book;
        } else {
            break;
        }
    }
    return readFailure(ReadBook::Status::Unreadable, path);
}

} // namespace xlsx::xlsrows
