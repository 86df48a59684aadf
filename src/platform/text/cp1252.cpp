#include "platform/text/cp1252.h"

#include <QStringDecoder>

#include <array>

namespace text {
namespace {

// Characters of bytes 0x80-0x9F; 0 marks a byte without a character.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::optional<char> cp1252Byte(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<char>(ch);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == ch && ch != 0)
            return static_cast<char>(0x80 + i);
    }
    // Bytes without a character round-trip as the control character of the same value.
    if (ch == 0x81 || ch == 0x8D || ch == 0x8F || ch == 0x90 || ch == 0x9D)
        return static_cast<char>(ch);
    return std::nullopt;
}

QString fromCp1252(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0 && kHighControls[b - 0x80] != 0)
            out.append(QChar(kHighControls[b - 0x80]));
        else
            out.append(QChar(static_cast<char16_t>(b)));
    }
    return out;
}

QByteArray toCp1252(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const auto b = cp1252Byte(ch.unicode());
        out.append(b ? *b : '?');
    }
    return out;
}

bool fitsCp1252(QStringView text)
{
    for (const QChar ch : text) {
        if (!cp1252Byte(ch.unicode()))
            return false;
    }
    return true;
}

QString decodeAnsiOrUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (decoded.startsWith(QChar(0xFEFF)))
            decoded.remove(0, 1);
        return decoded;
    }
    return fromCp1252(bytes);
}

} // namespace text
