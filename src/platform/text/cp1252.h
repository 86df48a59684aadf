#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Windows-1252 ("ANSI" on a Western Windows): the code page of every byte the gateway and the
// peer programs exchange. A fixed table, because Qt does not promise a codec by that name.
namespace text {

// The byte for one character, or nothing when the code page lacks it.
std::optional<char> cp1252Byte(char16_t ch);

// Bytes to text. The five bytes without a character (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the
// control characters of the same value, as Windows does.
QString fromCp1252(QByteArrayView bytes);

// Text to bytes; a character the code page lacks becomes '?' (the code page's replacement).
QByteArray toCp1252(QStringView text);

// True when every character has a byte in the code page.
bool fitsCp1252(QStringView text);

// Text files written by other programs: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString decodeAnsiOrUtf8(QByteArrayView bytes);

} // namespace text
