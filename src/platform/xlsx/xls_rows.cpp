#include "platform/xlsx/xls_rows.h"

#include <QtEndian>

#include <cstring>

namespace xlsx::xlsrows {

namespace {

// A text no cell could hold (Excel keeps 32,767 characters, at most 3 bytes each in UTF-8; 4
// for characters outside the basic plane, which count twice).
constexpr quint32 kMaxTextBytes = quint32(kMaxTextLength) * 3;
// What one held cell costs besides its text.
constexpr qint64 kHeldCellCost = qint64(sizeof(ReadCell) + sizeof(std::pair<int, int>)) + 16;

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

// Reads forward through one record, refusing to step past the bytes there are.
class Reader {
public:
    Reader(const QByteArray &bytes, qsizetype at) : m_bytes(bytes), m_at(at) {}
    qsizetype at() const { return m_at; }
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
    // The text's size first: `tooLong` when it is more than a cell could hold, whether or not its
    // bytes have all come.
    bool text(QString &value, bool &tooLong)
    {
        quint32 size = 0;
        if (!u32(size))
            return false;
        if (size > kMaxTextBytes) {
            tooLong = true;
            return false;
        }
        if (quint64(m_bytes.size() - m_at) < size)
            return false;
        value = QString::fromUtf8(m_bytes.constData() + m_at, qsizetype(size));
        m_at += qsizetype(size);
        return true;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_at;
};

bool withinSheet(quint32 row, quint32 column)
{
    return row >= 1 && row <= 1048576 && column >= 1 && column <= 16384;
}

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

QByteArray sharedText(const QString &text)
{
    QByteArray out(1, 'T');
    putText(out, text);
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

QByteArray sharedCell(int row, int column, quint32 text)
{
    QByteArray out(1, 'R');
    putU32(out, quint32(row));
    putU32(out, quint32(column));
    putU32(out, text);
    return out;
}

QByteArray end(ReadBook::Status status, Limit limit)
{
    QByteArray out(1, 'E');
    out.append(char(status));
    out.append(char(limit));
    return out;
}

Decoder::Decoder(const QString &path, qint64 budget) : m_path(path), m_budget(budget) {}

bool Decoder::fail(ReadBook::Status status)
{
    m_state = State::Failed;
    m_failure = status;
    m_pending.clear();
    m_book = ReadBook();
    m_texts.clear();
    return false;
}

bool Decoder::feed(const QByteArray &bytes)
{
    if (m_state == State::Failed)
        return false;
    if (m_state == State::Ended)
        return bytes.isEmpty() || fail(ReadBook::Status::Unreadable);     // bytes after the end
    m_pending += bytes;
    qsizetype at = 0;
    if (m_state == State::Header) {
        const qsizetype size = qsizetype(std::strlen(kHeader));
        if (m_pending.size() < size)
            return QByteArray(kHeader, m_pending.size()) == m_pending || fail(ReadBook::Status::Unreadable);
        if (!m_pending.startsWith(QByteArray(kHeader, size)))
            return fail(ReadBook::Status::Unreadable);
        at = size;
        m_state = State::Records;
    }
    while (m_state == State::Records && at < m_pending.size()) {
        qsizetype next = at;
        if (!decodeOne(next))
            break;
        at = next;
    }
    if (m_state == State::Failed)
        return false;
    m_pending.remove(0, at);
    if (m_state == State::Ended && !m_pending.isEmpty())
        return fail(ReadBook::Status::Unreadable);
    return true;
}

// Decodes the record at `at` and moves past it; false when it has not all come yet (or failed).
bool Decoder::decodeOne(qsizetype &at)
{
    Reader in(m_pending, at);
    quint8 kind = 0;
    in.u8(kind);
    bool tooLong = false;
    const auto incomplete = [&]() {
        if (tooLong) {
            m_budget.refuse(Limit::TextLength);
            fail(ReadBook::Status::TooLarge);
        }
        return false;
    };
    if (kind == 'S') {
        ReadSheet sheet;
        if (!in.text(sheet.name, tooLong))
            return incomplete();
        if (!m_budget.take(qint64(sizeof(ReadSheet)) + sheet.name.size() * 2, Limit::Cells))
            return fail(ReadBook::Status::TooLarge);
        m_book.sheets.append(std::move(sheet));
    } else if (kind == 'T') {
        QString text;
        if (!in.text(text, tooLong))
            return incomplete();
        if (!m_budget.take(qint64(sizeof(QString)) + 24 + text.size() * 2, Limit::Strings))
            return fail(ReadBook::Status::TooLarge);
        m_texts.push_back(std::move(text));
    } else if (kind == 'C' || kind == 'R') {
        quint32 row = 0;
        quint32 column = 0;
        ReadCell value;
        if (!in.u32(row) || !in.u32(column))
            return false;
        if (kind == 'C') {
            quint8 cellKind = 0;
            if (!in.u8(cellKind) || !in.f64(value.number) || !in.text(value.text, tooLong))
                return incomplete();
            if (cellKind > quint8(ReadCell::Kind::Time))
                return fail(ReadBook::Status::Unreadable);
            value.kind = ReadCell::Kind(cellKind);
        } else {
            quint32 text = 0;
            if (!in.u32(text))
                return false;
            if (text >= m_texts.size())
                return fail(ReadBook::Status::Unreadable);
            value.kind = ReadCell::Kind::Text;
            value.text = m_texts[text];         // shared, not copied
        }
        // Within the sheet's own bounds, after a sheet record.
        if (m_book.sheets.isEmpty() || !withinSheet(row, column))
            return fail(ReadBook::Status::Unreadable);
        const qint64 textCost = kind == 'C' ? value.text.size() * 2 : 0;
        if (!m_budget.take(kHeldCellCost + textCost, Limit::Cells))
            return fail(ReadBook::Status::TooLarge);
        ReadSheet &sheet = m_book.sheets.last();
        sheet.noteUsed(int(row), int(column));
        sheet.cells.insert({int(row), int(column)}, std::move(value));
    } else if (kind == 'E') {
        quint8 status = 0;
        quint8 limit = 0;
        if (!in.u8(status) || !in.u8(limit))
            return false;
        if (status > quint8(ReadBook::Status::TooLarge) || limit > quint8(Limit::Filler))
            return fail(ReadBook::Status::Unreadable);
        m_ended = ReadBook::Status(status);
        m_endedLimit = Limit(limit);
        m_state = State::Ended;
    } else {
        return fail(ReadBook::Status::Unreadable);
    }
    at = in.at();
    return true;
}

ReadBook Decoder::finish()
{
    if (m_state == State::Failed)
        return readFailure(m_failure, m_path, m_budget);
    if (m_state != State::Ended)
        return readFailure(ReadBook::Status::Unreadable, m_path);
    if (m_ended != ReadBook::Status::Ok) {
        ReadBudget said(m_budget.total());
        said.refuse(m_endedLimit);
        return readFailure(m_ended, m_path, said);
    }
    m_texts.clear();
    return std::move(m_book);
}

ReadBook decode(const QByteArray &bytes, const QString &path, qint64 budget)
{
    Decoder decoder(path, budget);
    decoder.feed(bytes);
    return decoder.finish();
}

} // namespace xlsx::xlsrows
