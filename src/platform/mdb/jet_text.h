#pragma once

#include <QByteArrayView>
#include <QString>

// Text as Jet 4 stores it: UTF-16 little-endian, or "compressed" when the value starts with the
// bytes 0xFF 0xFE: then runs of one byte a character (the low byte of a character up to U+00FF)
// alternate with runs of two bytes a character, each switch marked by a 0x00 byte, compressed
// run first. Decoded here rather than through libmdb's conversion, which turns every character
// outside the Basic Multilingual Plane into "?".
namespace mdb {

QString decodeJetText(QByteArrayView bytes);

} // namespace mdb
